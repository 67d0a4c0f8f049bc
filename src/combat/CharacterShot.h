#pragma once
#include <cstdint>
#include "app/Fixed16.h"
#include "character/Character.h"

class GameInfo;

// A projectile: a 4-frame animation that flies in a straight line. Player shots are tested
// against the enemy tree; enemy bullets (CharacterShotEnemy) against the ship.
class CharacterShot : public Character {
public:
    CharacterShot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t spriteBase, std::int32_t hitFactor,
                  std::int32_t damage);

    // Draw, move, and leave once 16 pixels beyond the playfield.
    void Act() override;
    virtual void SetVelocity(Fixed16 vx, Fixed16 vy);
    virtual std::int32_t GetDamage();
    virtual std::int32_t GetHitFactor();

    Fixed16 vx = 0;
    Fixed16 vy = 0;
    std::int32_t frame = 0;
    std::int32_t spriteBase;
    std::int32_t hitFactor;
    std::int32_t damage;
    GameInfo* gameInfo;
};

// A shot of the ship or its pod: after flying, it is offered to the enemy root and dies with a
// hit spark once anything took the hit.
class CharacterShotPlayer : public CharacterShot {
public:
    using CharacterShot::CharacterShot;
    void Act() override;
};
