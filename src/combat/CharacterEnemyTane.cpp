#include "combat/CharacterEnemyTane.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEnemyPot.h"
#include "play/GameInfo.h"

CharacterEnemyTane::CharacterEnemyTane(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyTane(env, log, gameInfo, 0) {}

CharacterEnemyTane::CharacterEnemyTane(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = shift == 0 ? 1 : 2;
    sprite = 0x24C;
}

CharacterEnemyTaneb::CharacterEnemyTaneb(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyTane(env, log, gameInfo, 2) {}

CharacterEnemy* CharacterEnemyTane::MakePot() { return new CharacterEnemyPot(env, log, gameInfo); }

CharacterEnemy* CharacterEnemyTaneb::MakePot() { return new CharacterEnemyPotb(env, log, gameInfo); }

void CharacterEnemyTane::SetTarget(Fixed16 tx, Fixed16 ty) {
    targetX = tx;
    targetY = ty;
}

void CharacterEnemyTane::SetDuration(std::int32_t frames) { duration = frames; }

std::int32_t CharacterEnemyTane::HitByShot(CharacterShot& shot) { return HitWithin(shot, 64); }

void CharacterEnemyTane::Die() { Explode(x, y); }

void CharacterEnemyTane::Act() {
    if (frame == 0) {
        startX = x;
        startY = y;
    }
    CharacterEnemy::Act();
    const std::int32_t t = frame, T = duration;
    if (T > 0) {
        // A straight line in whole pixels from start to target, lifted by a parabola.
        const std::int64_t px = (static_cast<std::int64_t>(toPixel(targetX)) * t +
                                 static_cast<std::int64_t>(toPixel(startX)) * (T - t)) / T;
        const std::int64_t py = (static_cast<std::int64_t>(toPixel(targetY)) * t +
                                 static_cast<std::int64_t>(toPixel(startY)) * (T - t)) / T;
        x = toFixed(static_cast<int>(px));
        y = WrapSub(toFixed(static_cast<int>(py)),
                    static_cast<std::int32_t>(static_cast<std::int64_t>(T - t) * t * 1820));
    }
    if (t < T) return;
    // Landed: the seed gives way to a pot exactly at its target.
    alive = false;
    AttachAt<Character>(gameInfo->GetEnemyRoot(), MakePot(), targetX, targetY);
}
