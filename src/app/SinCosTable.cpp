#include "app/SinCosTable.h"
#include <cmath>

SinCosTable::SinCosTable() {
    // Worked out once per process: every replay checked builds its own services.
    static const std::array<Entry, kSize> kTable = [] {
        std::array<Entry, kSize> t{};
        // 2*pi/4096 rounded down; the products are truncated toward zero, so entry 1024 is (0, 65535).
        const double step = 0.0015339794921875;
        for (int i = 0; i < kSize; ++i) {
            t[i].cos = static_cast<std::int32_t>(std::cos(i * step) * 65536.0);
            t[i].sin = static_cast<std::int32_t>(std::sin(i * step) * 65536.0);
        }
        return t;
    }();
    table_ = kTable;
}

Point direction(Fixed16 dx, Fixed16 dy) {
    const std::int32_t px = dx >> 16;
    const std::int32_t py = dy >> 16;
    const auto sq = static_cast<std::int32_t>(static_cast<std::int64_t>(px) * px + static_cast<std::int64_t>(py) * py);
    const auto len = static_cast<std::int32_t>(std::sqrt(static_cast<double>(sq)));
    if (len == 0) return {0, 0};
    return {dx / len, dy / len};
}
