#include <fontconfig/fontconfig.h>
#include <algorithm>
#include <string>
#include "platform/TextPanel.h"
#include "platform/sdl/SdlPlatform.h"

namespace {
// A sans font that covers Japanese, found through fontconfig.
std::string findJapaneseFont() {
    std::string path;
    if (!FcInit()) return path;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch) path = reinterpret_cast<char*>(file);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return path;
}
constexpr int kPointSize = 14;
}  // namespace

SdlTextRenderer::~SdlTextRenderer() {
    if (font_) TTF_CloseFont(font_);
    if (tried_ && TTF_WasInit()) TTF_Quit();
}

TTF_Font* SdlTextRenderer::font() {
    if (tried_) return font_;
    tried_ = true;
    if (TTF_Init() != 0) return nullptr;
    const std::string path = findJapaneseFont();
    if (!path.empty()) font_ = TTF_OpenFont(path.c_str(), kPointSize);
    return font_;
}

void SdlTextRenderer::blend(SDL_Surface* text, std::uint32_t* pixels, int w, int h, int pitch, int x, int y,
                            int clipRight, int clipBottom) {
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(text, SDL_PIXELFORMAT_ARGB8888, 0);
    if (!argb) return;
    const int right = std::min(w, clipRight), bottom = std::min(h, clipBottom);
    for (int ty = 0; ty < argb->h; ++ty) {
        const int dy = y + ty;
        if (dy < 0 || dy >= bottom) continue;
        const auto* src = reinterpret_cast<const std::uint32_t*>(static_cast<const Uint8*>(argb->pixels) + ty * argb->pitch);
        for (int tx = 0; tx < argb->w; ++tx) {
            const int dx = x + tx;
            if (dx < 0 || dx >= right) continue;
            const std::uint32_t a = src[tx] >> 24;
            if (a == 0) continue;
            blendWhite(pixels[static_cast<std::size_t>(dy) * pitch + dx], a);
        }
    }
    SDL_FreeSurface(argb);
}

void SdlTextRenderer::drawText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, const std::string& utf8) {
    TTF_Font* f = font();
    if (!f || utf8.empty()) return;
    SDL_Surface* text = TTF_RenderUTF8_Blended(f, utf8.c_str(), SDL_Color{255, 255, 255, 255});
    if (!text) return;
    blend(text, pixels, w, h, pitch, x, y, w, h);
    SDL_FreeSurface(text);
}

void SdlTextRenderer::drawTextBox(std::uint32_t* pixels, int w, int h, int pitch, int x1, int y1, int x2, int y2,
                                  const std::string& utf8) {
    TTF_Font* f = font();
    if (!f || utf8.empty() || x2 <= x1 || y2 <= y1) return;
    SDL_Surface* text =
        TTF_RenderUTF8_Blended_Wrapped(f, utf8.c_str(), SDL_Color{255, 255, 255, 255}, static_cast<Uint32>(x2 - x1));
    if (!text) return;
    // A box of words is read over whatever the field shows (the tutorial's mentor is pale):
    // the words sit on a shaded panel just large enough for them.
    shadeTextPanel(pixels, w, h, pitch, x1 - kTextPanelMargin, y1 - kTextPanelMargin,
                   std::min(x1 + text->w, x2) + kTextPanelMargin, std::min(y1 + text->h, y2) + kTextPanelMargin);
    blend(text, pixels, w, h, pitch, x1, y1, x2, y2);
    SDL_FreeSurface(text);
}

int SdlTextRenderer::textWidth(const std::string& utf8) {
    TTF_Font* f = font();
    int w = 0, h = 0;
    if (!f || utf8.empty() || TTF_SizeUTF8(f, utf8.c_str(), &w, &h) != 0) return 0;
    return w;
}
