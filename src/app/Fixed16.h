#pragma once
#include <cstdint>

// 16.16 fixed point: 65536 is one pixel. Every position and velocity of a play is one of these.
using Fixed16 = std::int32_t;

constexpr Fixed16 kFixedOne = 65536;

// Whole pixels to Fixed16.
constexpr Fixed16 toFixed(int pixels) { return static_cast<Fixed16>(static_cast<std::uint32_t>(pixels) << 16); }
// The pixel of a Fixed16 value: arithmetic shift right by 16.
constexpr int toPixel(Fixed16 v) { return v >> 16; }

struct Point {
    Fixed16 x = 0;
    Fixed16 y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};
