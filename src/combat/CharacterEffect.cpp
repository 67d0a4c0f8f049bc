#include "combat/CharacterEffect.h"
#include "app/Env.h"

namespace {
struct EffectRow {
    std::int32_t spriteBase, pictures, shift;
};
// EffectKind -> first sprite, number of pictures, frames per picture as a power of two.
constexpr EffectRow kEffects[kEffectKinds] = {
    {0x400, 8, 2},  // explosion
    {0x114, 4, 1},  // hit spark
    {0x410, 4, 1},  // vanish of small bullet A
    {0x414, 4, 1},  // vanish of small bullet B
    {0x418, 4, 1},  // vanish of large bullet A
    {0x41C, 4, 1},  // vanish of large bullet B
    {0x408, 4, 1},  // muzzle flash
    {0x408, 4, 4},  // slow flash before a ring
    {0x40C, 4, 1},  // item picked up
};
}  // namespace

CharacterEffect::CharacterEffect(Env* env, Log* log, std::int32_t kind) : Character(env, log) {
    if (kind < 0 || kind >= kEffectKinds) return;  // frameCount 0: gone after one step
    spriteBase = kEffects[kind].spriteBase;
    frameCount = kEffects[kind].pictures;
    shift = kEffects[kind].shift;
}

void CharacterEffect::Act() {
    if (frameCount > 0) env->draw.DrawSprite(x, y, spriteBase + (frame >> shift));
    x += vx;
    y += vy;
    ++frame;
    if (frame >= frameCount << shift) alive = false;
}

void CharacterEffect::SetVelocity(Fixed16 nvx, Fixed16 nvy) {
    vx = nvx;
    vy = nvy;
}
