#pragma once
#include <cstdint>

// A named rectangle on a surface, drawn centred on a position. Ten words, in this order.
struct SpriteDef {
    std::int32_t srcTop = 0;
    std::int32_t srcBottom = 0;  // exclusive
    std::int32_t srcLeft = 0;
    std::int32_t srcRight = 0;   // exclusive
    std::int32_t width = 0;      // srcRight - srcLeft (not read when drawing)
    std::int32_t halfWidth = 0;  // the sprite covers x - halfWidth .. x + halfWidth
    std::int32_t height = 0;     // srcBottom - srcTop (not read when drawing)
    std::int32_t halfHeight = 0;
    std::int32_t surface = 0;
    std::int32_t flags = 0;      // byte 0: valid; byte 1: use the surface's colour key

    static constexpr std::int32_t kValid = 0x0001;
    static constexpr std::int32_t kColorKey = 0x0100;

    bool valid() const { return (flags & 0xFF) != 0; }
    bool colorKey() const { return ((flags >> 8) & 0xFF) != 0; }

    // A w x h cell at (left, top) of a surface, half sizes truncated (an odd size is drawn scaled
    // one pixel smaller), colour key on unless told otherwise.
    static SpriteDef cell(int surface, int left, int top, int w, int h, bool key = true) {
        SpriteDef d;
        d.srcTop = top;
        d.srcBottom = top + h;
        d.srcLeft = left;
        d.srcRight = left + w;
        d.width = w;
        d.halfWidth = w / 2;
        d.height = h;
        d.halfHeight = h / 2;
        d.surface = surface;
        d.flags = kValid | (key ? kColorKey : 0);
        return d;
    }
};
