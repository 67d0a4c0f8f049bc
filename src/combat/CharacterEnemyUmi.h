#pragma once
#include "combat/CharacterEnemy.h"

// Circles once every 256 frames, spraying small bullets ahead of itself, then leaves diagonally.
// Direction -1 flies the point reflection of the path.
class CharacterEnemyUmi : public CharacterEnemy {
public:
    CharacterEnemyUmi(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void SetDirection(std::int32_t direction);

    std::int32_t direction = 1;

protected:
    CharacterEnemyUmi(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
};

class CharacterEnemyUmib : public CharacterEnemyUmi {
public:
    CharacterEnemyUmib(Env* env, Log* log, GameInfo* gameInfo);
};
