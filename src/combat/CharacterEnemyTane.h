#pragma once
#include "combat/CharacterEnemy.h"

// A seed thrown on a parabola from where it was placed to its target; on landing it leaves a pot
// there.
class CharacterEnemyTane : public CharacterEnemy {
public:
    CharacterEnemyTane(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void SetTarget(Fixed16 x, Fixed16 y);
    virtual void SetDuration(std::int32_t frames);

    Fixed16 targetX = 0;
    Fixed16 targetY = 0;
    std::int32_t duration = 200;
    Fixed16 startX = 0;
    Fixed16 startY = 0;

protected:
    CharacterEnemyTane(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
    // The pot this seed grows into.
    virtual CharacterEnemy* MakePot();
};

class CharacterEnemyTaneb : public CharacterEnemyTane {
public:
    CharacterEnemyTaneb(Env* env, Log* log, GameInfo* gameInfo);

protected:
    CharacterEnemy* MakePot() override;
};
