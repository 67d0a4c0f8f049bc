#pragma once
#include <cstdint>

// What every text renderer does around its words, said once.

// Room around the words of a box on their panel.
constexpr int kTextPanelMargin = 6;

// Darkens the rectangle [left, right) x [top, bottom) of a w x h XRGB buffer (clipped to it) and
// draws a light rim around it: the panel a box of words is read on.
void shadeTextPanel(std::uint32_t* pixels, int w, int h, int pitch, int left, int top, int right, int bottom);

// Lays white over one pixel at coverage a (0..255).
inline void blendWhite(std::uint32_t& d, std::uint32_t a) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t dc = (d >> shift) & 0xFF;
        out |= ((dc * (255 - a) + 255 * a) / 255) << shift;
    }
    d = out;
}
