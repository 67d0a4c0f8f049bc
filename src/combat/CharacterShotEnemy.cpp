#include "combat/CharacterShotEnemy.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"

int bullet::VanishEffect(std::int32_t spriteBase) {
    switch (spriteBase) {
    case kSmallA: return EffectVanishSmallA;
    case kSmallB: return EffectVanishSmallB;
    case kLargeA: return EffectVanishLargeA;
    case kLargeB: return EffectVanishLargeB;
    default: return -1;
    }
}

void CharacterShotEnemy::Act() {
    // The picture follows the bullet size of this very frame, for bullets already in flight too.
    env->draw.DrawSprite(x, y, spriteBase + gameInfo->GetModeValueA() + ((frame >> 2) & 3));
    x += vx;
    y += vy;
    ++frame;
    if (x < toFixed(-64) || y < toFixed(-64) || x > toFixed(544) || y > toFixed(664)) alive = false;
    // A bullet leaving the field still hits on its last frame.
    const std::int32_t radiusSquared = gameInfo->GetModeValueB() * GetHitFactor();
    CharacterPlayer* player = gameInfo->GetPlayer();
    if (player != nullptr && player->HitTestCircle({x, y}, radiusSquared)) alive = false;
}

void CharacterShotEnemy::Erase() {
    alive = false;
    const int kind = bullet::VanishEffect(spriteBase);
    if (kind < 0) return;
    auto* effect = AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, kind), x, y);
    if (effect) effect->SetVelocity(vx, vy);
}

void CharacterShotEnemy2::Act() {
    vx = vx + (ax >> 6) - ((vx * drag) >> 6);
    vy = vy + (ay >> 6) - ((vy * drag) >> 6);
    CharacterShotEnemy::Act();
}

void CharacterShotEnemy2::SetTargetVelocity(std::int32_t nax, std::int32_t nay, std::int32_t ndrag) {
    ax = nax;
    ay = nay;
    drag = ndrag;
}
