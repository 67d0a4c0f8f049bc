#pragma once
#include <cstdint>
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
// sprays; twin aimed streams), then a death burst and a ring of items. Base is CharacterEnemy for
// the old version and CharacterEnemyBoss (gauge, bonus timer) for the current one.
template <class Base>
class Boss1Body : public Base {
public:
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void Phase1();
    virtual void Phase2();
    virtual void Phase3();
    virtual void Phase4();

    std::int32_t phase = 1;
    Fixed16 vx = 0;
    Fixed16 vy = 0;
    std::int32_t turnTimer = 0;
    std::int32_t burstTimer = 0;
    Fixed16 targetX = 0;
    Fixed16 targetY = 0;
    std::int32_t volleys = 0;
    std::int32_t burstCount = 0;
    std::int32_t entryTimer = 0;

    static constexpr std::int32_t kEntryFrames = 96;

protected:
    Boss1Body(Env* env, Log* log, GameInfo* gameInfo, const Boss1Rules& rules);
    // The ring of items at death: one item for every k below this (the old version a fixed 30,
    // the current one what the bonus timer has left, which also stops the timer).
    virtual double DeathRingSize() = 0;

    // What the bosses built on this one change (the third boss shares phases 2 to 4):
    // touching the body costs a life;
    virtual void TouchShip();
    // the middle of the phase-2 curtain;
    virtual void CurtainMiddle(Fixed16 ex, Fixed16 ey);
    // the big fan of phase 3 every 512 frames;
    virtual void Phase3Fan();
    // one shot of the phase-3 side sprays;
    virtual void SprayShot(Fixed16 gx, Fixed16 gy, int angle, std::int32_t speed);
    // phase 4 fires on frames divisible by this.
    virtual std::int32_t Phase4Gate();

    std::int32_t Mode();  // the game mode shifted to the old version's 2 / 3
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
    double DeathRingSize() override;
};
