#include "platform/TextPanel.h"
#include <algorithm>
#include <cstddef>

void shadeTextPanel(std::uint32_t* pixels, int w, int h, int pitch, int left, int top, int right, int bottom) {
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
