#include "bosses/BossBody.h"
#include "play/GameInfo.h"

namespace {
constexpr std::int32_t kSprite = 0x500;
constexpr std::int32_t kFlashSprite = 0x501;
}  // namespace

template <class Base>
BossBody<Base>::BossBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hitPoints)
    : Base(env, log, gameInfo) {
    this->hitPoints = hitPoints;
    this->sprite = kSprite;
    this->flashSprite = kFlashSprite;
}

template <class Base>
void BossBody<Base>::Act() {
    if (entryTimer < kEntryFrames) {
        ++entryTimer;
        return;
    }
    Base::Act();
    const std::int32_t next = NextPhase();
    if (next != phase) SwitchTo(next);
    switch (phase) {
    case 1: Phase1(); break;
    case 2: Phase2(); break;
    case 3: Phase3(); break;
    default: Phase4(); break;
    }
    TouchShip();
}

template <class Base>
void BossBody<Base>::SwitchTo(std::int32_t next) {
    phase = next;
    this->frame = 0;
    this->gameInfo->EraseEnemyShots();
}

template <class Base>
std::int32_t BossBody<Base>::HitBody() {
    this->flashTimer = 2;
    --this->hitPoints;
    if (this->hitPoints >= 1) return 1;
    this->alive = false;
    Defeated();
    return 1;
}

template <class Base>
void BossBody<Base>::Defeated() {
    GameInfo* info = this->gameInfo;
    info->SetFlag(FlagStageCleared, true);
    info->EraseEnemyShots();
    this->Burst(this->x, this->y);
    this->DropItemRing(DeathRingSize());
}

template class BossBody<CharacterEnemy>;
template class BossBody<CharacterEnemyBoss>;
