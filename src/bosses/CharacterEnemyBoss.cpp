#include "bosses/CharacterEnemyBoss.h"
#include <algorithm>
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterBonusTimer.h"
#include "play/GameInfo.h"

namespace {
constexpr std::int32_t kGaugeFrame = 672;  // 0x2A0
constexpr std::int32_t kGaugeBar = 673;
}  // namespace

CharacterEnemyBoss::CharacterEnemyBoss(Env* env, Log* log, GameInfo* gameInfo) : CharacterEnemy(env, log, gameInfo) {}

void CharacterEnemyBoss::Act() {
    CharacterEnemy::Act();
    DrawGauge();
}

void CharacterEnemyBoss::DrawGauge() {
    Draw& draw = env->draw;
    draw.DrawSprite(toFixed(240), gaugeY, kGaugeFrame);
    // The bar grows from a fixed left edge and shrinks as hit points go.
    const std::int32_t fill = std::min(hitPoints * 240 / std::max(maxHitPoints, 1), 240);
    const std::int32_t w = fill + 8;
    draw.DefineSprite(400, 416, 0, w, w, w / 2, 16, 8, 2, SpriteDef::kValid | SpriteDef::kColorKey, kGaugeBar);
    draw.DrawSprite(toFixed(240 - (247 - fill) / 2), gaugeY, kGaugeBar);
}

CharacterBonusTimer* CharacterEnemyBoss::LiveBonusTimer() {
    // The timer belongs to the top tree and may be gone (it removes itself after being stopped,
    // and a stage select clears the layer): only a timer still held there is touched.
    Character* top = gameInfo->GetTopTree();
    if (bonusTimer == nullptr || top == nullptr) return nullptr;
    for (Character* child : top->GetChildren()) {
        if (child == bonusTimer) return bonusTimer;
    }
    bonusTimer = nullptr;
    return nullptr;
}

void CharacterEnemyBoss::StartBonusTimer(double start, double decrement) {
    if (CharacterBonusTimer* old = LiveBonusTimer()) old->alive = false;
    bonusTimer = AttachAt(gameInfo->GetTopTree(), new CharacterBonusTimer(env, log, start, decrement), 0, 0);
    // AttachAt placed it at (0, 0); the timer's place is its own.
    if (bonusTimer) bonusTimer->SetPosition(toFixed(106), toFixed(16));
}
