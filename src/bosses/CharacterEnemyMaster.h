#pragma once
#include <cstdint>
#include "bosses/CharacterEnemyBoss.h"
#include "combat/CharacterEnemy.h"

// The final boss (also the tutorial's mentor): no entry, a face that follows the bullet size, and
// hit points that may run below zero, which starts a long death shedding a hundred items before
// it tells the stage it is beaten. It stays in the tree after that.
//
// Old version phases: 1 scattered sprays, 2 wobbling sweep with rings, 3 random spray with a
// grid of warned bursts, 4 radial spirals, 5 the great grid, 6 the death. The current version
// puts a phase of seeds in fourth place (the old 4 and 5 become 5 and 6) and dies in phase 7.
template <class Base>
class MasterBody : public Base {
public:
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void Phase1() = 0;
    virtual void Phase2() = 0;
    virtual void Phase3() = 0;
    virtual void Phase4() = 0;
    virtual void Phase5() = 0;
    virtual void Phase6() = 0;

    std::int32_t phase = 1;
    std::int32_t deathCounter = 0;  // items shed so far
    // The movement and timer fields the bosses share; this boss stands still.
    Fixed16 vx = 0;
    Fixed16 vy = 0;
    std::int32_t turnTimer = 0;
    std::int32_t burstTimer = 0;

    static constexpr std::int32_t kDeathItems = 100;
    // Where the great grid's points lie (pixels): six columns, eight rows.
    static constexpr int kGridColumns[6] = {40, 120, 200, 280, 360, 440};
    static constexpr int kGridRows[8] = {1, 81, 161, 241, 321, 401, 481, 561};

protected:
    MasterBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hitPoints);
    // The phase that follows the current one now, or the current one.
    virtual std::int32_t NextPhase() = 0;
    virtual bool Dying() = 0;
    void SwitchTo(std::int32_t next);
    // Runs the current phase's operation.
    virtual void RunPhase();

    // The old version's phases, shared by both versions under their own numbers.
    void ScatteredSpray();
    void WobblingSweep(const std::int32_t* ringFrames, int ringCount, std::int32_t lastFrame, std::int32_t next);
    void RandomSprayAndGrid();
    void Spirals(std::int32_t lastFrame, std::int32_t next);
    void GreatGrid();
};

extern template class MasterBody<CharacterEnemy>;
extern template class MasterBody<CharacterEnemyBoss>;

class CharacterEnemyMaster : public MasterBody<CharacterEnemy> {
public:
    CharacterEnemyMaster(Env* env, Log* log, GameInfo* gameInfo);
    void Phase1() override;
    void Phase2() override;
    void Phase3() override;
    void Phase4() override;
    void Phase5() override;
    // The death: an item every third frame; the hundredth sets flag 1, once.
    void Phase6() override;

protected:
    std::int32_t NextPhase() override;
    bool Dying() override { return phase == 6; }
};

class CharacterEnemyMasterb : public MasterBody<CharacterEnemyBoss> {
public:
    CharacterEnemyMasterb(Env* env, Log* log, GameInfo* gameInfo);
    void Phase1() override;
    void Phase2() override;
    void Phase3() override;
    // Seeds that burst into rings, released over the upper field.
    void Phase4() override;
    void Phase5() override;
    void Phase6() override;
    // The death: a hundred frames, then flag 1 and the bonus timer's worth of items at once.
    virtual void Phase7();
    // count seeds spread uniformly over a disc of radius spread pixels around (sx, sy); each
    // bursts 64 frames later into a ring of 16 large bullets from angle at speed.
    virtual void ReleaseSeeds(Fixed16 sx, Fixed16 sy, std::int32_t angle, std::int32_t spread, std::int32_t count,
                              std::int32_t speed);

protected:
    std::int32_t NextPhase() override;
    bool Dying() override { return phase == 7; }
    void RunPhase() override;
};
