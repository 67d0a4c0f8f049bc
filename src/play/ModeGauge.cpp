#include "play/ModeGauge.h"

namespace {
constexpr std::int32_t kCellWidth = 300;
}

std::optional<ModeGaugeBar> ModeGaugeBarOf(std::int32_t mode, std::int32_t timer) {
    switch (mode) {
        case 1:
            if (timer <= 0) return std::nullopt;
            return ModeGaugeBar{0x127, 248, timer, kModeGaugeLeft + timer / 2};
        case 2: {
            std::int32_t w = kCellWidth - timer;
            if (w > kCellWidth) w = kCellWidth;
            if (w <= 0) return std::nullopt;
            return ModeGaugeBar{0x126, 240, w, kModeGaugeRight - w / 2};
        }
        default:
            return std::nullopt;
    }
}
