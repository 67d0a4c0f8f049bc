#pragma once
#include <cstdint>
#include "bosses/BossBody.h"
#include "bosses/CharacterEnemyBoss.h"
#include "combat/CharacterEnemy.h"

// The numbers in which the two versions of the first boss differ.
struct Boss1Rules {
    std::int32_t hitPoints;
    std::int32_t phase2Below;       // hit points under which phase 2 begins
    std::int32_t phase2End;         // last frame of phase 2
    std::int32_t phase2Period;      // frames between phase-2 curtains
    std::int32_t phase2SlowSpeed;   // the wide curtains
    std::int32_t phase2FastSpeed;   // the inner fan
    bool current;                   // the current version's phase-3 fan and rate gate
};

// The first boss: four phases after a 96-frame entry (gliding bursts; curtains; wandering side
// sprays; twin aimed streams), then a death burst and a ring of items.
template <class Base>
class Boss1Body : public BossBody<Base> {
public:
    std::int32_t HitByShot(CharacterShot& shot) override;
    void Phase1() override;
    void Phase2() override;
    void Phase3() override;
    void Phase4() override;

    std::int32_t turnTimer = 0;
    std::int32_t burstTimer = 0;
    std::int32_t volleys = 0;
    std::int32_t burstCount = 0;

protected:
    Boss1Body(Env* env, Log* log, GameInfo* gameInfo, const Boss1Rules& rules);
    std::int32_t NextPhase() override;

    // What the bosses built on this one change (the third boss shares phases 2 to 4):
    // touching the body costs a life;
    void TouchShip() override;
    // the middle of the phase-2 curtain;
    virtual void CurtainMiddle(Fixed16 ex, Fixed16 ey);
    // the big fan of phase 3 every 512 frames;
    virtual void Phase3Fan();
    // one shot of the phase-3 side sprays;
    virtual void SprayShot(Fixed16 gx, Fixed16 gy, int angle, std::int32_t speed);
    // phase 4 fires on frames divisible by this.
    virtual std::int32_t Phase4Gate();

    void BigFan(bool current);
    void FireFan(Fixed16 ex, Fixed16 ey, std::int32_t angle, std::int32_t firstSpeed, std::int32_t count,
                 std::int32_t step);

    Boss1Rules rules;

private:
    void Glide();
    void GunVolley(Fixed16 gx, Fixed16 gy, std::int32_t offset);
    void Wander(bool dodgePlayer, std::int32_t targetsBeforeSwitch, std::int32_t nextPhase);
    void NewTarget(bool dodgePlayer);
};

extern template class Boss1Body<CharacterEnemy>;
extern template class Boss1Body<CharacterEnemyBoss>;

class CharacterEnemyBoss1 : public Boss1Body<CharacterEnemy> {
public:
    CharacterEnemyBoss1(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return 30.0; }
};

class CharacterEnemyBoss1b : public Boss1Body<CharacterEnemyBoss> {
public:
    CharacterEnemyBoss1b(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return StopBonusTimer(); }
};
