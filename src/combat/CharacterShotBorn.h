#pragma once
#include <cstdint>
#include "combat/CharacterEnemy.h"

// An invisible spot that shows a slow flash and, 64 frames after it was placed, releases a ring
// of count large bullets evenly spaced from angle. It cannot be shot.
class CharacterShotBorn : public CharacterEnemy {
public:
    CharacterShotBorn(Env* env, Log* log, GameInfo* gameInfo, std::int32_t angle, std::int32_t speed,
                      std::int32_t count);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;

    std::int32_t angle;
    std::int32_t speed;
    std::int32_t count;
};
