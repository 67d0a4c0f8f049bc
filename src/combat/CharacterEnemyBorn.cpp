#include "combat/CharacterEnemyBorn.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "play/GameInfo.h"

CharacterEnemyBorn::CharacterEnemyBorn(Env* env, Log* log, GameInfo* gameInfo, Character* child)
    : CharacterEnemy(env, log, gameInfo), child(child) {
    sprite = 0x220;
}

CharacterEnemyBorn::~CharacterEnemyBorn() { delete child; }

void CharacterEnemyBorn::Act() {
    ++frame;
    if (frame == 96 && child != nullptr) {
        Character* released = child;
        child = nullptr;
        AttachAt(static_cast<Character*>(gameInfo->GetEnemyRoot()), released, x, y);
    }
    sprite = 0x220 + frame / 16;
    env->draw.DrawSprite(x, y, sprite);
    if (frame >= 128) alive = false;
}

std::int32_t CharacterEnemyBorn::HitByShot(CharacterShot&) { return 0; }
