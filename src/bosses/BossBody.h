#pragma once
#include <cstdint>
#include "bosses/CharacterEnemyBoss.h"
#include "combat/CharacterEnemy.h"

// What the first, third and fourth bosses share: a 96-frame entry in which the boss only waits
// where it was placed and cannot be hit, four phases chosen by NextPhase, the touch that costs the
// ship a life, and the death that clears the stage and drops a ring of items. Base is
// CharacterEnemy for the old version and CharacterEnemyBoss (gauge, bonus timer) for the current.
template <class Base>
class BossBody : public Base {
public:
    void Act() override;
    virtual void Phase1() = 0;
    virtual void Phase2() = 0;
    virtual void Phase3() = 0;
    virtual void Phase4() = 0;

    std::int32_t phase = 1;
    Fixed16 vx = 0;
    Fixed16 vy = 0;
    Fixed16 targetX = 0;
    Fixed16 targetY = 0;
    std::int32_t entryTimer = 0;

    static constexpr std::int32_t kEntryFrames = 96;

protected:
    BossBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hitPoints);
    // The phase that follows the current one now, or the current one.
    virtual std::int32_t NextPhase() = 0;
    // A new phase starts on a cleared field with its frame count at 0.
    virtual void SwitchTo(std::int32_t next);
    // Touching the body costs a life.
    virtual void TouchShip() = 0;
    // The ring of items at death: one item for every k below this (the old version a fixed
    // number, the current one what the bonus timer has left, which also stops the timer).
    virtual double DeathRingSize() = 0;
    // The stage is cleared, the field emptied, the body bursts and leaves its ring of items.
    virtual void Defeated();

    // Past the entry and still alive: shots may hit.
    bool Shootable() const { return entryTimer >= kEntryFrames && this->alive; }
    // A shot that struck the body: a flash and a hit point less; the last one kills. Returns 1.
    std::int32_t HitBody();
    // The game mode shifted to the old version's 2 / 3.
    std::int32_t Mode() { return this->VersionMode(); }
};

extern template class BossBody<CharacterEnemy>;
extern template class BossBody<CharacterEnemyBoss>;
