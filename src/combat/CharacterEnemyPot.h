#pragma once
#include "combat/CharacterEnemy.h"

// A pot that rises out of the ground, charges in the second half of every 128-frame cycle and
// fires aimed small bullets from its head, then sinks back after 576 frames. It drifts with the
// play's drift vector (the mark position).
class CharacterEnemyPot : public CharacterEnemy {
public:
    CharacterEnemyPot(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;

    std::int32_t charge = 0;
    Fixed16 targetX = 0;
    Fixed16 targetY = 0;

protected:
    CharacterEnemyPot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
};

class CharacterEnemyPotb : public CharacterEnemyPot {
public:
    CharacterEnemyPotb(Env* env, Log* log, GameInfo* gameInfo);
};
