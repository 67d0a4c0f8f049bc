// Words in the browser's fonts: the page draws them white on a transparent canvas and hands back
// their coverage, which is blended in as the SDL renderer blends its glyphs.
#include <emscripten/emscripten.h>
#include <algorithm>
#include "platform/TextPanel.h"
#include "platform/web/WebPlatform.h"

// Draws utf8 (wrapped at wrap pixels when above 0) and writes its coverage, w x h bytes, into
// out when it fits in cap; size gets w and h. Returns 0 for no words.
EM_JS(int, web_text, (const char* utf8, int wrap, std::uint8_t* out, int cap, int* size), {
    const t = Module.page.text(UTF8ToString(utf8), wrap);
    if (!t || t.w <= 0 || t.h <= 0) return 0;
    HEAP32[size >> 2] = t.w;
    HEAP32[(size >> 2) + 1] = t.h;
    if (t.w * t.h <= cap) HEAPU8.set(t.alpha, out);
    return 1;
});
EM_JS(int, web_text_width, (const char* utf8), { return Module.page.textWidth(UTF8ToString(utf8)); });

bool WebTextRenderer::blendText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, int clipRight,
                                int clipBottom, const std::string& utf8, int wrapWidth, int* textW, int* textH,
                                bool shaded) {
    if (utf8.empty()) return false;
    int size[2] = {0, 0};
    if (!web_text(utf8.c_str(), wrapWidth, alpha_.data(), static_cast<int>(alpha_.size()), size)) return false;
    const std::size_t need = static_cast<std::size_t>(size[0]) * size[1];
    if (need > alpha_.size()) {
        alpha_.resize(need);
        web_text(utf8.c_str(), wrapWidth, alpha_.data(), static_cast<int>(alpha_.size()), size);
    }
    *textW = size[0];
    *textH = size[1];
    if (shaded) {
        // A box of words is read over whatever the field shows: the words sit on a shaded panel
        // just large enough for them.
        shadeTextPanel(pixels, w, h, pitch, x - kTextPanelMargin, y - kTextPanelMargin,
                       std::min(x + size[0], clipRight) + kTextPanelMargin,
                       std::min(y + size[1], clipBottom) + kTextPanelMargin);
    }
    const int right = std::min(w, clipRight), bottom = std::min(h, clipBottom);
    for (int ty = 0; ty < size[1]; ++ty) {
        const int dy = y + ty;
        if (dy < 0 || dy >= bottom) continue;
        const std::uint8_t* row = alpha_.data() + static_cast<std::size_t>(ty) * size[0];
        for (int tx = 0; tx < size[0]; ++tx) {
            const int dx = x + tx;
            if (dx < 0 || dx >= right || row[tx] == 0) continue;
            blendWhite(pixels[static_cast<std::size_t>(dy) * pitch + dx], row[tx]);
        }
    }
    return true;
}

void WebTextRenderer::drawText(std::uint32_t* pixels, int w, int h, int pitch, int x, int y, const std::string& utf8) {
    int tw = 0, th = 0;
    blendText(pixels, w, h, pitch, x, y, w, h, utf8, 0, &tw, &th, false);
}

void WebTextRenderer::drawTextBox(std::uint32_t* pixels, int w, int h, int pitch, int x1, int y1, int x2, int y2,
                                  const std::string& utf8) {
    if (x2 <= x1 || y2 <= y1) return;
    int tw = 0, th = 0;
    blendText(pixels, w, h, pitch, x1, y1, x2, y2, utf8, x2 - x1, &tw, &th, true);
}

int WebTextRenderer::textWidth(const std::string& utf8) { return utf8.empty() ? 0 : web_text_width(utf8.c_str()); }
