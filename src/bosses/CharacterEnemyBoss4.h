#pragma once
#include <cstdint>
#include "bosses/BossBody.h"
#include "bosses/CharacterEnemyBoss.h"
#include "combat/CharacterEnemy.h"

// The numbers in which the two versions of the fourth boss differ. Modes are read as the old
// version's 2 (first lap) and 3 (second lap).
struct Boss4Rules {
    std::int32_t hitPoints;
    std::int32_t phase2Below;      // hit points under which phase 2 begins
    std::int32_t phase3Below;      // ... phase 3
    std::int32_t smallRowWindow1;  // phase 1 fires its small rows while timer mod 64 is below this
    std::int32_t smallRowWindow2;  // ... phase 2
    std::int32_t aimedBelowLap1;   // phase 2's aimed triple fires while the timer is below this (mode 2)
    bool current;                  // leaning phase-1 large rows, four bubbles a wave, stepped radial volleys
};

// The fourth boss: a wide winged body that sweeps across the field firing rows of straight
// bullets from six wing emitters, then releases bubbles, then turns two radial sprays.
template <class Base>
class Boss4Body : public BossBody<Base> {
public:
    std::int32_t HitByShot(CharacterShot& shot) override;
    void Phase1() override;
    void Phase2() override;
    void Phase3() override;
    void Phase4() override;

    std::int32_t targetTimer = 0;
    std::int32_t direction = 0;    // of the sweep: 0 right, 1 left
    std::int32_t sprayOffset = 0;  // added to the timer in the radial sprays' turn

    static constexpr int kEmitters = 6;
    // The six wing emitters relative to the body's position: left wing from the lowest to the
    // highest, then the right wing the same way.
    static constexpr int kEmitterX[kEmitters] = {-253, -167, -78, 253, 167, 78};
    static constexpr int kEmitterY[kEmitters] = {62, 27, 4, 62, 27, 4};
    // The body's six contact and target rectangles (left, top, right, bottom) around (x, y).
    static constexpr int kRects[6][4] = {{-315, 51, -234, 92}, {-234, -4, -109, 76}, {-109, -76, 0, 64},
                                         {234, 51, 315, 92},   {109, -4, 234, 76},   {0, -76, 109, 64}};

protected:
    Boss4Body(Env* env, Log* log, GameInfo* gameInfo, const Boss4Rules& rules);
    std::int32_t NextPhase() override;
    // The radial sprays fly alone: entering phase 4 removes every bubble still out.
    void SwitchTo(std::int32_t next) override;
    // The wings and the hull.
    void TouchShip() override;
    // The bubbles of one wave of phase 3, made as the body's children.
    virtual void ReleaseBubbles() = 0;
    // A bubble tilted by the next random draw, moving 3.5 pixels a frame, placed at (bx, by).
    void LaunchBubble(CharacterEnemy* bubble, Fixed16 bx, Fixed16 by);

    Boss4Rules rules;

private:
    bool InsideBody(Fixed16 px, Fixed16 py);
    void NextTarget();
    void StepTargetTimer();
    // Wing sweep between the given bounds, and the glide to the target height.
    void Sweep(int accelRightUpTo, int turnLeftAt, int accelLeftDownTo, int turnRightAt);
    // The rows of phases 1 and 2; leaning tilts the large ones toward the middle.
    void Rows(std::int32_t smallRowWindow, bool leaning);
};

extern template class Boss4Body<CharacterEnemy>;
extern template class Boss4Body<CharacterEnemyBoss>;

class CharacterEnemyBoss4 : public Boss4Body<CharacterEnemy> {
public:
    CharacterEnemyBoss4(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return 60.0; }
    // One bubble at one of four points chosen at random.
    void ReleaseBubbles() override;
};

class CharacterEnemyBoss4b : public Boss4Body<CharacterEnemyBoss> {
public:
    CharacterEnemyBoss4b(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return StopBonusTimer(); }
    // Four bubbles, one at each point; only one of them, chosen at random, fires.
    void ReleaseBubbles() override;
};

// A bubble of the fourth boss: drifts for 300 frames, firing large bullets to both sides of its
// motion. Old version: fires every 16th frame in mode 2, every 8th in mode 3, else every frame.
class CharacterEnemyBoss4Awa : public CharacterEnemy {
public:
    CharacterEnemyBoss4Awa(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void SetVelocity(Fixed16 nvx, Fixed16 nvy);

    Fixed16 vx = 0;
    Fixed16 vy = 0;
    static constexpr std::int32_t kLifeFrames = 300;

protected:
    // Whether this frame's pair of bullets leaves.
    virtual bool FiresNow();
    void Die() override;
};

// The current version's bubble fires every fireInterval-th frame (16 in mode 4, 8 in mode 5);
// an interval of 0 never fires.
class CharacterEnemyBoss4bAwa : public CharacterEnemyBoss4Awa {
public:
    CharacterEnemyBoss4bAwa(Env* env, Log* log, GameInfo* gameInfo);
    virtual void SetFireInterval(std::int32_t interval);

    std::int32_t fireInterval;

protected:
    bool FiresNow() override;
};
