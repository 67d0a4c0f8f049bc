#pragma once
#include "combat/CharacterEnemy.h"

// Aims at the ship on frame 10, accelerates towards that point, fires a slow cross on frame 60
// and (except in the shorter lap) two star volleys; gone after 300 frames.
class CharacterEnemy1 : public CharacterEnemy {
public:
    CharacterEnemy1(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;

    Fixed16 vx = 0;
    Fixed16 vy = 0;
    Fixed16 aimX = 0;
    Fixed16 aimY = 0;

protected:
    CharacterEnemy1(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;
    // A ring of count large bullets, the first aimed at the ship, turned by step each time.
    void FireRing(std::int32_t count, std::int32_t step, std::int32_t speed);
};

class CharacterEnemy1b : public CharacterEnemy1 {
public:
    CharacterEnemy1b(Env* env, Log* log, GameInfo* gameInfo);
};

// Current version only: shoots straight down every second while it hangs near its portal, then
// turns away from the ship and leaves. The second lap adds random six-bullet sprays.
class CharacterEnemy2b : public CharacterEnemy1 {
public:
    CharacterEnemy2b(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;

protected:
    void Die() override;
};
