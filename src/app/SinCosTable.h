#pragma once
#include <array>
#include <cstdint>
#include "app/Fixed16.h"

// 4096 (cos, sin) pairs in Fixed16; angles are in 1/4096 of a turn.
class SinCosTable {
public:
    static constexpr int kSize = 4096;
    SinCosTable();
    Fixed16 cosOf(int angle) const { return table_[static_cast<unsigned>(angle) & (kSize - 1)].cos; }
    Fixed16 sinOf(int angle) const { return table_[static_cast<unsigned>(angle) & (kSize - 1)].sin; }

private:
    struct Entry { std::int32_t cos; std::int32_t sin; };
    std::array<Entry, kSize> table_;
};

// Squared distance in whole pixels: ((x1-x2)>>16)^2 + ((y1-y2)>>16)^2. Inline: every bullet asks
// it every frame.
inline std::int32_t squaredDistance(Fixed16 x1, Fixed16 y1, Fixed16 x2, Fixed16 y2) {
    // 32-bit wrapping arithmetic as the original, without signed-overflow traps.
    const auto dx = static_cast<std::int32_t>(static_cast<std::uint32_t>(x1) - static_cast<std::uint32_t>(x2)) >> 16;
    const auto dy = static_cast<std::int32_t>(static_cast<std::uint32_t>(y1) - static_cast<std::uint32_t>(y2)) >> 16;
    return static_cast<std::int32_t>(static_cast<std::int64_t>(dx) * dx + static_cast<std::int64_t>(dy) * dy);
}

// Unit vector of (dx, dy) in Fixed16: each component divided by the truncated whole-pixel length;
// (0, 0) when that length is 0.
Point direction(Fixed16 dx, Fixed16 dy);
