#include "combat/CharacterItem.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"

CharacterItem::CharacterItem(Env* env, Log* log, GameInfo* gameInfo) : Character(env, log), gameInfo(gameInfo) {}

bool CharacterItem::TryPickUp(Fixed16 px, Fixed16 py) {
    if (squaredDistance(x, y, px, py) >= pickupRadiusSquared) return false;
    alive = false;
    return true;
}

CharacterItemScore::CharacterItemScore(Env* env, Log* log, GameInfo* gameInfo, std::int32_t value)
    : CharacterItem(env, log, gameInfo), value(value) {}

bool CharacterItemScore::TryPickUp(Fixed16 px, Fixed16 py) {
    if (CharacterItem::TryPickUp(px, py)) {
        gameInfo->IncreaseItemCount(value);
        AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectPickUp), x, y);
        env->sound.play(Rupee, false);
    }
    return false;
}

void CharacterItemScore::Act() {
    // In its last three eighths the item blinks, hidden one frame in four.
    if (age < lifetime * 5 / 8 || (age & 3) != 0) env->draw.DrawSprite(x, y, 0x104 + value);
    ++age;
    // Items may leave through the top; only age removes them there.
    if (age > lifetime || y > toFixed(608) || x < toFixed(-8) || x > toFixed(488)) alive = false;
    CharacterPlayer* player = gameInfo->GetPlayer();
    if (player != nullptr && player->GetLives() > 0) {
        const Point at = gameInfo->GetPlayerPosition();
        TryPickUp(at.x, at.y);
    }
    x += vx;
    y += vy + 32768;
    vx += ax;
    vy += ay;
    vx = WrapMul(vx, 250) >> 8;
    vy = WrapMul(vy, 250) >> 8;
}

void CharacterItemScore::SetVelocity(Fixed16 nvx, Fixed16 nvy) {
    vx = nvx;
    vy = nvy;
}

void CharacterItemScore::SetAcceleration(Fixed16 nax, Fixed16 nay) {
    ax = nax;
    ay = nay;
}
