#pragma once
#include <cstdint>
#include "bosses/CharacterEnemyBoss.h"
#include "combat/CharacterEnemy.h"

// The parts the second boss's hull carries. Every part keeps an offset from its parent and
// starts each frame at the parent's position plus that offset, so the boss moves as one. The
// "b" classes are the current version's (their mode tests read 4 and 5 for 2 and 3).

// A part that follows its parent at an offset.
class Boss2Part : public CharacterEnemy {
public:
    void SetOffset(Fixed16 dx, Fixed16 dy) {
        offsetX = dx;
        offsetY = dy;
    }
    Fixed16 offsetX = 0;
    Fixed16 offsetY = 0;

protected:
    Boss2Part(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Follow();
};

// A gun pot: charges up half of every 64 frames and fires a shot straight on with two pairs
// beside it. Upside down (on the lower hull) it fires upward, and not at all in game mode 2.
class CharacterEnemyBoss2Pot : public Boss2Part {
public:
    CharacterEnemyBoss2Pot(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void Invert();

    std::int32_t charge = 0;
    bool inverted = false;

protected:
    CharacterEnemyBoss2Pot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
    void Fire();
};

class CharacterEnemyBoss2bPot : public CharacterEnemyBoss2Pot {
public:
    CharacterEnemyBoss2bPot(Env* env, Log* log, GameInfo* gameInfo);
};

// A section core: its death tells the parent to move on to the next section.
class CharacterEnemyBoss2Core : public Boss2Part {
public:
    CharacterEnemyBoss2Core(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void Invert();

protected:
    CharacterEnemyBoss2Core(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp, std::int32_t shift);
};

class CharacterEnemyBoss2bCore : public CharacterEnemyBoss2Core {
public:
    CharacterEnemyBoss2bCore(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp);
};

// The lower hull: the point mirror of the hull through the field's centre, with upside-down pots
// and cores of its own. It passes every message of its parts on to the hull.
class CharacterEnemyBoss2Bottom : public CharacterEnemy {
public:
    CharacterEnemyBoss2Bottom(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    std::int32_t Notify(std::int32_t kind, std::int32_t value) override;

protected:
    CharacterEnemyBoss2Bottom(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void ArmourRect(int index, Point& min, Point& max) const;
};

class CharacterEnemyBoss2bBottom : public CharacterEnemyBoss2Bottom {
public:
    CharacterEnemyBoss2bBottom(Env* env, Log* log, GameInfo* gameInfo);
};

// The heart on the last section: silent until the hull's final swing, then three phases of fire.
// Its death (and only its death) destroys the boss. The current version carries the gauge and
// the bonus timer of the current bosses.
template <class Base>
class Boss2MisoBody : public Base {
public:
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    virtual void Phase0();
    virtual void Phase1();
    virtual void Phase2();
    virtual void Phase3();

    void SetOffset(Fixed16 dx, Fixed16 dy) {
        offsetX = dx;
        offsetY = dy;
    }
    Fixed16 offsetX = 0;
    Fixed16 offsetY = 0;
    std::int32_t phase = 0;

protected:
    Boss2MisoBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift, std::int32_t hp);
    virtual void DeathRing() {}
    std::int32_t phase1End = 1079;

private:
    void Gun(Fixed16 gx, Fixed16 gy, int angle, int speed, bool large);
    void HalfRing(int first, int end, int step, int radius, int speed);
};

extern template class Boss2MisoBody<CharacterEnemy>;
extern template class Boss2MisoBody<CharacterEnemyBoss>;

class CharacterEnemyBoss2Miso : public Boss2MisoBody<CharacterEnemy> {
public:
    CharacterEnemyBoss2Miso(Env* env, Log* log, GameInfo* gameInfo);
};

class CharacterEnemyBoss2bMiso : public Boss2MisoBody<CharacterEnemyBoss> {
public:
    CharacterEnemyBoss2bMiso(Env* env, Log* log, GameInfo* gameInfo);

protected:
    void DeathRing() override;
};
