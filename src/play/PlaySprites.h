#pragma once
#include <cstdint>
#include <span>

class Draw;

// A run of sprites cut from one surface: count cells of w x h, the first at (left, top), each
// next one (dx, dy) further on, with consecutive ids from firstId.
struct SpriteRun {
    std::int32_t firstId;
    int count;
    int surface;
    int left, top;
    int w, h;
    int dx, dy;
};

// The play scene's sprites: the ship and its HUD, items, gauges, enemies, every bullet family in
// its three sizes, the backgrounds of the three bullet-size modes, explosions and islands.
std::span<const SpriteRun> PlaySpriteRuns();
// Defines them all (valid, colour-keyed, half sizes truncated).
void DefinePlaySprites(Draw& draw);
