#pragma once
#include <cstdint>
#include "app/Fixed16.h"
#include "character/Character.h"

// The short-lived pictures every gameplay object leaves behind.
enum EffectKind : int {
    EffectExplosion = 0,
    EffectHitSpark = 1,
    EffectVanishSmallA = 2,
    EffectVanishSmallB = 3,
    EffectVanishLargeA = 4,
    EffectVanishLargeB = 5,
    EffectMuzzleFlash = 6,
    EffectSlowFlash = 7,
    EffectPickUp = 8,
};

constexpr int kEffectKinds = 9;

// Plays its animation once (each picture for 2^shift frames), drifting with its velocity, then
// removes itself. A kind outside the table shows nothing and leaves at once.
class CharacterEffect : public Character {
public:
    CharacterEffect(Env* env, Log* log, std::int32_t kind);
    void Act() override;
    virtual void SetVelocity(Fixed16 vx, Fixed16 vy);

    Fixed16 vx = 0;
    Fixed16 vy = 0;
    std::int32_t frame = 0;
    std::int32_t spriteBase = 0;
    std::int32_t shift = 0;
    std::int32_t frameCount = 0;
};
