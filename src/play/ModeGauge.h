#pragma once
#include <cstdint>
#include <optional>

// The bullet-size gauge at the foot of the playfield: a 300-pixel frame (sprite 0x125) centred at
// (240, 580), spanning x 90..390, with the bar of the running mode inside it. The bar is cut from
// the left of its 300-pixel cell to the width it shows and redefined every frame.
// - Small bullets (mode 1): the bar is the time left, anchored at the frame's left end.
// - Large bullets (mode 2): the bar is the time gone (300 - timer), anchored at the frame's right
//   end. Its timer runs down to -5 on the last frame, so the width is held to the cell's 300
//   pixels: a wider cut would reach past the cell into the neighbouring picture.
struct ModeGaugeBar {
    std::int32_t sprite;   // 0x127 small, 0x126 large
    std::int32_t srcTop;   // row of the cell on surface 1
    std::int32_t width;    // pixels cut from the cell's left
    std::int32_t centreX;  // where the bar is drawn (playfield x, centred)
};

constexpr std::int32_t kModeGaugeFrame = 0x125;
constexpr std::int32_t kModeGaugeY = 580;
constexpr std::int32_t kModeGaugeLeft = 90;
constexpr std::int32_t kModeGaugeRight = 390;

// The bar for a bullet-size mode and its timer; none in mode 0 or when the bar has no width
// (mode 1's last frame, timer -1, and its frame at 0).
std::optional<ModeGaugeBar> ModeGaugeBarOf(std::int32_t mode, std::int32_t timer);
