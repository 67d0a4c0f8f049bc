#pragma once
#include <cstdint>
#include <vector>

// A 32-bit XRGB pixel buffer in memory. Pixels whose value lies in [keyLow, keyHigh] are
// transparent when a sprite is drawn from this surface with its colour key.
struct Surface {
    Surface(int w, int h) : width(w), height(h), pixels(static_cast<std::size_t>(w) * h, 0u) {}

    std::uint32_t* row(int y) { return pixels.data() + static_cast<std::size_t>(y) * width; }
    const std::uint32_t* row(int y) const { return pixels.data() + static_cast<std::size_t>(y) * width; }
    std::uint32_t& at(int x, int y) { return row(y)[x]; }
    std::uint32_t at(int x, int y) const { return row(y)[x]; }
    bool isKey(std::uint32_t pixel) const { return (pixel & 0xFFFFFFu) >= keyLow && (pixel & 0xFFFFFFu) <= keyHigh; }

    int width;
    int height;
    std::vector<std::uint32_t> pixels;
    std::uint32_t keyLow = 0;
    std::uint32_t keyHigh = 0;
};

// A rectangle with exclusive right and bottom.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};
