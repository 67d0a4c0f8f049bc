#include "play/PlaySprites.h"
#include "graphics/Draw.h"

namespace {
// Surfaces: 1 = bitmap 106 (ship, items, HUD), 2 = 108 (enemies, bullets), 3 = 109
// (backgrounds), 4 = 110 (explosions, flashes, vanish effects, islands).
// Enemy-bullet sets sit so that base + 0x80 is the small picture and base + 0x40 the large one.
constexpr SpriteRun kRuns[] = {
    // firstId, count, surface, left, top, w, h, dx, dy
    {0x100, 1, 1, 0, 0, 64, 64, 0, 0},
    {0x101, 2, 1, 0, 160, 16, 16, 16, 0},
    {0x103, 2, 1, 0, 176, 16, 16, 16, 0},
    {0x105, 3, 1, 32, 160, 32, 32, 32, 0},  // 0x105 is also the status line's item icon
    {0x110, 12, 1, 0, 128, 32, 32, 32, 0},
    {0x120, 4, 1, 0, 64, 64, 64, 64, 0},
    {0x125, 3, 1, 0, 232, 300, 8, 0, 8},  // mode gauge frame and its two bars
    {0x128, 4, 1, 128, 160, 32, 32, 32, 0},
    {0x130, 10, 1, 0, 192, 32, 32, 32, 0},
    {0x13B, 1, 1, 320, 192, 64, 32, 0, 0},

    {0x200, 1, 2, 0, 64, 64, 64, 0, 0},
    {0x201, 1, 2, 128, 0, 128, 128, 0, 0},
    {0x203, 1, 2, 256, 192, 128, 128, 0, 0},
    {0x210, 4, 2, 0, 128, 16, 16, 16, 0},
    {0x214, 4, 2, 0, 144, 16, 16, 16, 0},
    {0x218, 4, 2, 64, 128, 32, 32, 32, 0},
    {0x21C, 4, 2, 64, 160, 32, 32, 32, 0},
    {0x250, 4, 2, 64, 128, 32, 32, 32, 0},
    {0x254, 4, 2, 64, 160, 32, 32, 32, 0},
    {0x258, 4, 2, 0, 192, 64, 64, 64, 0},
    {0x25C, 4, 2, 0, 256, 64, 64, 64, 0},
    {0x290, 4, 2, 0, 160, 16, 16, 16, 0},
    {0x294, 4, 2, 0, 176, 16, 16, 16, 0},
    {0x298, 4, 2, 0, 128, 16, 16, 16, 0},
    {0x29C, 4, 2, 0, 144, 16, 16, 16, 0},
    {0x220, 8, 2, 0, 320, 64, 64, 64, 0},
    {0x230, 8, 2, 0, 0, 32, 64, 32, 0},
    {0x238, 4, 2, 256, 0, 16, 16, 16, 0},
    {0x240, 4, 2, 256, 64, 64, 64, 64, 0},
    {0x244, 4, 2, 256, 128, 64, 64, 64, 0},
    {0x248, 2, 2, 256, 192, 128, 128, 128, 0},  // 0x249 is the jelly's flash, painted at load
    {0x24C, 1, 2, 256, 16, 16, 16, 0, 0},
    {0x2A0, 1, 2, 0, 384, 256, 16, 0, 0},

    {0x300, 3, 3, 0, 0, 480, 600, 0, 600},  // backgrounds of bullet-size modes 0, 1, 2

    {0x400, 8, 4, 0, 0, 64, 64, 64, 0},
    {0x408, 4, 4, 0, 128, 32, 32, 32, 0},
    {0x40C, 4, 4, 0, 160, 32, 32, 32, 0},
    {0x410, 4, 4, 0, 64, 16, 16, 16, 0},
    {0x414, 4, 4, 0, 80, 16, 16, 16, 0},
    {0x418, 4, 4, 64, 64, 32, 32, 32, 0},
    {0x41C, 4, 4, 64, 96, 32, 32, 32, 0},
    {0x420, 2, 4, 192, 64, 320, 64, 0, 64},
    {0x422, 1, 4, 128, 128, 64, 64, 0, 0},
};
}  // namespace

std::span<const SpriteRun> PlaySpriteRuns() { return kRuns; }

void DefinePlaySprites(Draw& draw) {
    for (const SpriteRun& run : kRuns)
        for (int i = 0; i < run.count; ++i)
            draw.DefineSprite(SpriteDef::cell(run.surface, run.left + i * run.dx, run.top + i * run.dy, run.w, run.h),
                              run.firstId + i);
}
