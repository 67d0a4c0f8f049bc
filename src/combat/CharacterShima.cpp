#include "combat/CharacterShima.h"
#include "app/Env.h"
#include "play/GameInfo.h"

CharacterShima::CharacterShima(Env* env, Log* log, GameInfo* gameInfo) : Character(env, log), gameInfo(gameInfo) {}

void CharacterShima::SetSprite(std::int32_t id) { sprite = id; }

void CharacterShima::Act() {
    env->draw.DrawSprite(x, y, sprite);
    const Point drift = gameInfo->GetMarkPosition();
    x += drift.x;
    y += drift.y;
    if (x >= toFixed(632) || x <= toFixed(-32)) alive = false;
}
