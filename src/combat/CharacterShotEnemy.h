#pragma once
#include <cstdint>
#include "combat/CharacterShot.h"

// An enemy bullet: drawn from the sprite set of the current bullet size and hitting the ship
// within hitFactor x the size's hit scale (squared whole pixels).
class CharacterShotEnemy : public CharacterShot {
public:
    using CharacterShot::CharacterShot;
    void Act() override;
    // Removes the bullet, leaving a vanish effect of its own colour that drifts on with it.
    virtual void Erase();
};

// A bullet that starts at rest and eases towards the terminal velocity (ax / drag, ay / drag).
class CharacterShotEnemy2 : public CharacterShotEnemy {
public:
    using CharacterShotEnemy::CharacterShotEnemy;
    void Act() override;
    virtual void SetTargetVelocity(std::int32_t ax, std::int32_t ay, std::int32_t drag);

    std::int32_t ax = 0;
    std::int32_t ay = 0;
    std::int32_t drag = 0;
};

// The four enemy bullet families: sprite base, hit factor and vanish effect.
namespace bullet {
constexpr std::int32_t kSmallA = 0x210;
constexpr std::int32_t kSmallB = 0x214;
constexpr std::int32_t kLargeA = 0x218;
constexpr std::int32_t kLargeB = 0x21C;
constexpr std::int32_t kSmallHitFactor = 2;
constexpr std::int32_t kLargeHitFactor = 8;
// The vanish EffectKind of a bullet sprite base, or -1 for a base outside the four families.
int VanishEffect(std::int32_t spriteBase);
}  // namespace bullet
