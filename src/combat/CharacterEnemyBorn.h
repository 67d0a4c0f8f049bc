#pragma once
#include "combat/CharacterEnemy.h"

// The portal: a 128-frame opening animation that releases the enemy it carries into the enemy
// root on its frame 96, at its own position. It cannot be hit.
class CharacterEnemyBorn : public CharacterEnemy {
public:
    // child: the carried enemy, owned until released; may be null (an empty portal).
    CharacterEnemyBorn(Env* env, Log* log, GameInfo* gameInfo, Character* child);
    ~CharacterEnemyBorn() override;
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;

    Character* child;
};
