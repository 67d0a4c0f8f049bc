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

CharacterEnemyBoss::~CharacterEnemyBoss() {
    // The timer may outlive the boss on screen; it must not write into a deleted boss.
    if (bonusTimer != nullptr) bonusTimer->holder = nullptr;
}

void CharacterEnemyBoss::Act() {
    CharacterEnemy::Act();
    DrawGauge();
}

void CharacterEnemyBoss::DrawGauge() {
    Draw& draw = env->draw;
    draw.DrawSprite(toFixed(240), gaugeY, kGaugeFrame);
    // The bar grows from a fixed left edge and shrinks as hit points go; a boss whose hit points
    // run below zero shows an empty bar rather than a sprite of negative width.
    const std::int32_t fill = std::clamp(hitPoints * 240 / std::max(maxHitPoints, 1), 0, 240);
    const std::int32_t w = fill + 8;
    draw.DefineSprite(400, 416, 0, w, w, w / 2, 16, 8, 2, SpriteDef::kValid | SpriteDef::kColorKey, kGaugeBar);
    draw.DrawSprite(toFixed(240 - (247 - fill) / 2), gaugeY, kGaugeBar);
}

void CharacterEnemyBoss::StartBonusTimer(double start, double decrement) {
    if (bonusTimer != nullptr) {
        bonusTimer->alive = false;
        bonusTimer->holder = nullptr;
    }
    bonusTimer = AttachAt(gameInfo->GetTopTree(), new CharacterBonusTimer(env, log, start, decrement), toFixed(106),
                          toFixed(16));
    if (bonusTimer != nullptr) bonusTimer->holder = &bonusTimer;
}

void CharacterEnemyBoss::StartCurrentVersion(double bonusStart, double bonusDecrement) {
    versionShift = 2;
    maxHitPoints = hitPoints;
    StartBonusTimer(bonusStart, bonusDecrement);
}

double CharacterEnemyBoss::StopBonusTimer() { return bonusTimer != nullptr ? bonusTimer->Stop() : 0.0; }
