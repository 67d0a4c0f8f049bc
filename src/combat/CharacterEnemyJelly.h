#pragma once
#include "combat/CharacterEnemy.h"

// A big jelly that sinks, fires downward streams for 240 frames, then bobs up in fans until it
// floats off the top. It breaks into ten explosions and ten items.
class CharacterEnemyJelly : public CharacterEnemy {
public:
    CharacterEnemyJelly(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;

    Fixed16 vx = 0;
    Fixed16 vy = 0;

protected:
    CharacterEnemyJelly(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    void Die() override;

private:
    void FireStreams();
    void FireFans();
};

class CharacterEnemyJellyb : public CharacterEnemyJelly {
public:
    CharacterEnemyJellyb(Env* env, Log* log, GameInfo* gameInfo);
};
