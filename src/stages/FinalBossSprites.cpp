#include "stages/FinalBossSprites.h"
#include "graphics/Draw.h"

namespace {
constexpr int kFaceSide = 64;
}  // namespace

void DefineFinalBossSprites(Draw& draw) {
    draw.DefineSprite(SpriteDef::cell(5, 0, 0, kFinalBossWidth, kFinalBossHeight), kFinalBossSprite);
    for (int i = 0; i < 3; ++i) {
        draw.DefineSprite(SpriteDef::cell(5, kFinalBossWidth, kFaceSide * i, kFaceSide, kFaceSide),
                          kFinalBossSprite + 1 + i);
    }
}
