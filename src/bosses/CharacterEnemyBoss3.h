#pragma once
#include <cstdint>
#include "bosses/CharacterEnemyBoss.h"
#include "bosses/CharacterEnemyBoss1.h"
#include "combat/CharacterEnemy.h"

// A cheek of the third boss: a separate target beside the face that moves with it. Its death
// scatters explosions and, except in the shorter old lap, seeds that grow into pots.
class CharacterEnemyBoss3Hoppe : public CharacterEnemy {
public:
    CharacterEnemyBoss3Hoppe(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    // The cheek on the left: the mirrored pictures.
    virtual void Mirror();
    virtual void SetOffset(Fixed16 dx, Fixed16 dy);

    Fixed16 offsetX = 0;
    Fixed16 offsetY = 0;

protected:
    CharacterEnemyBoss3Hoppe(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
};

class CharacterEnemyBoss3bHoppe : public CharacterEnemyBoss3Hoppe {
public:
    CharacterEnemyBoss3bHoppe(Env* env, Log* log, GameInfo* gameInfo);
};

// The third boss: a face with two cheeks. Phase 1 wanders and throws flower-shaped rings; phases
// 2 to 4 are the first boss's with a few changes. The stage fields two at once: the first to die
// sets flag 3 (which hardens the other's sprays), the second ends the stage.
template <class Base>
class Boss3Body : public Boss1Body<Base> {
public:
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    void Phase1() override;

    bool cheeksAdded = false;

protected:
    Boss3Body(Env* env, Log* log, GameInfo* gameInfo, const Boss1Rules& rules);
    void TouchShip() override;
    // The first of the pair to die only marks itself; the second clears the stage.
    void Defeated() override;
    void CurtainMiddle(Fixed16 ex, Fixed16 ey) override;
    void SprayShot(Fixed16 gx, Fixed16 gy, int angle, std::int32_t speed) override;
    std::int32_t Phase4Gate() override;
    virtual CharacterEnemyBoss3Hoppe* MakeCheek() = 0;
    // Phase 1's targets: x from targetXBase up to targetXBase + targetXRange - 1.
    int targetXBase = 100;
    int targetXRange = 280;
};

extern template class Boss3Body<CharacterEnemy>;
extern template class Boss3Body<CharacterEnemyBoss>;

class CharacterEnemyBoss3 : public Boss3Body<CharacterEnemy> {
public:
    CharacterEnemyBoss3(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return 30.0; }
    CharacterEnemyBoss3Hoppe* MakeCheek() override;
};

class CharacterEnemyBoss3b : public Boss3Body<CharacterEnemyBoss> {
public:
    CharacterEnemyBoss3b(Env* env, Log* log, GameInfo* gameInfo);

protected:
    double DeathRingSize() override { return StopBonusTimer(); }
    CharacterEnemyBoss3Hoppe* MakeCheek() override;
    void Phase3Fan() override;
    std::int32_t Phase4Gate() override;
};
