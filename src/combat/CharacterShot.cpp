#include "combat/CharacterShot.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterEnemy.h"
#include "play/GameInfo.h"

CharacterShot::CharacterShot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t spriteBase,
                             std::int32_t hitFactor, std::int32_t damage)
    : Character(env, log), spriteBase(spriteBase), hitFactor(hitFactor), damage(damage), gameInfo(gameInfo) {}

void CharacterShot::Act() {
    env->draw.DrawSprite(x, y, spriteBase + ((frame >> 3) & 3));
    x += vx;
    y += vy;
    ++frame;
    if (x < toFixed(-16) || y < toFixed(-16) || x > toFixed(496) || y > toFixed(600)) alive = false;
}

void CharacterShot::SetVelocity(Fixed16 nvx, Fixed16 nvy) {
    vx = nvx;
    vy = nvy;
}

std::int32_t CharacterShot::GetDamage() { return damage; }

std::int32_t CharacterShot::GetHitFactor() { return hitFactor; }

void CharacterShotPlayer::Act() {
    CharacterShot::Act();
    CharacterEnemy* root = gameInfo->GetEnemyRoot();
    if (root == nullptr || root->HitByShot(*this) == 0) return;
    alive = false;
    env->sound.play(Hit, false);
    AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectHitSpark), x, y);
}
