#include "combat/CharacterShima.h"
#include "app/Env.h"
#include "play/GameInfo.h"

namespace {
// Half the height of the tallest island picture.
constexpr int kHalfHeight = 32;
}  // namespace

CharacterShima::CharacterShima(Env* env, Log* log, GameInfo* gameInfo) : Character(env, log), gameInfo(gameInfo) {}

void CharacterShima::SetSprite(std::int32_t id) { sprite = id; }

void CharacterShima::Act() {
    env->draw.DrawSprite(x, y, sprite);
    const Point drift = gameInfo->GetMarkPosition();
    x += drift.x;
    y += drift.y;
    // Gone once it has left the sides, or sunk wholly below the field (nothing ever brings an
    // island back up), so a long stage does not pile them up in the back layer.
    if (x >= toFixed(632) || x <= toFixed(-32) || y >= toFixed(600 + kHalfHeight)) alive = false;
}
