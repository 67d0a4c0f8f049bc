#pragma once
#include <cstdint>

class Draw;

// The final boss's picture (bitmap 121 on surface 5), shared by the last stage and the tutorial's
// mentor: the body as sprite 0x500 and, stacked right of it, its faces for bullet-size modes 0, 2
// and 1 as 0x501..0x503.
constexpr std::int32_t kFinalBossSprite = 0x500;
constexpr int kFinalBossWidth = 320;
constexpr int kFinalBossHeight = 310;
void DefineFinalBossSprites(Draw& draw);
