#pragma once
#include <cstdint>
#include "combat/CharacterEnemy.h"

class CharacterBonusTimer;

// The base of the current version's bosses: a hit-point gauge at the top of the field and the
// bonus timer that decides the size of the death ring.
class CharacterEnemyBoss : public CharacterEnemy {
public:
    CharacterEnemyBoss(Env* env, Log* log, GameInfo* gameInfo);
    ~CharacterEnemyBoss() override;
    // The enemy base's step, then the gauge.
    void Act() override;
    // Replaces any timer this boss started before with a new one in the top tree.
    void StartBonusTimer(double start, double decrement);
    // How every current-version boss starts, once its hit points are set: game modes 4 and 5 read
    // as the old version's 2 and 3, the gauge full, and the bonus timer counting down from start.
    void StartCurrentVersion(double bonusStart, double bonusDecrement = 0.01);
    // What the bonus timer has left, which also stops it (its display stays a while); none once
    // the timer is gone. An unspent bonus of 57.3 makes a death ring of 58 items (every k below
    // it), a spent one none.
    double StopBonusTimer();

    // Lives in the top tree, not owned; null once that timer is gone.
    CharacterBonusTimer* bonusTimer = nullptr;
    std::int32_t maxHitPoints = 1;
    Fixed16 gaugeY = toFixed(48);

protected:
    void DrawGauge();
};
