#include <fontconfig/fontconfig.h>
#include <algorithm>
#include <string>
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
// Room around the words on their panel.
constexpr int kPanelMargin = 6;
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
            std::uint32_t& d = pixels[static_cast<std::size_t>(dy) * pitch + dx];
            std::uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const std::uint32_t dc = (d >> shift) & 0xFF;
                out |= ((dc * (255 - a) + 255 * a) / 255) << shift;
            }
            d = out;
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
    shade(pixels, w, h, pitch, x1 - kPanelMargin, y1 - kPanelMargin, std::min(x1 + text->w, x2) + kPanelMargin,
          std::min(y1 + text->h, y2) + kPanelMargin);
    blend(text, pixels, w, h, pitch, x1, y1, x2, y2);
    SDL_FreeSurface(text);
}

void SdlTextRenderer::shade(std::uint32_t* pixels, int w, int h, int pitch, int left, int top, int right,
                            int bottom) {
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, w);
    bottom = std::min(bottom, h);
    for (int y = top; y < bottom; ++y) {
        std::uint32_t* row = pixels + static_cast<std::size_t>(y) * pitch;
        const bool edge = y == top || y == bottom - 1;
        for (int x = left; x < right; ++x) {
            std::uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const std::uint32_t c = (row[x] >> shift) & 0xFF;
                // A quarter of the light stays inside; the rim is a thin light line.
                const std::uint32_t v = edge || x == left || x == right - 1 ? (c + 3 * 200) / 4 : c / 4;
                out |= v << shift;
            }
            row[x] = out;
        }
    }
}

int SdlTextRenderer::textWidth(const std::string& utf8) {
    TTF_Font* f = font();
    int w = 0, h = 0;
    if (!f || utf8.empty() || TTF_SizeUTF8(f, utf8.c_str(), &w, &h) != 0) return 0;
    return w;
}
