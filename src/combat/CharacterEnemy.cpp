#include "combat/CharacterEnemy.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShotEnemy.h"
#include "play/GameInfo.h"
#include "play/Random.h"

Point TurnVector(Point u, Fixed16 c, Fixed16 s) {
    const std::int32_t ux = u.x >> 8, uy = u.y >> 8, cc = c >> 8, ss = s >> 8;
    return {WrapSub(WrapMul(ux, cc), WrapMul(uy, ss)), WrapAdd(WrapMul(ux, ss), WrapMul(uy, cc))};
}

Point ScaleVector(Point u, std::int32_t speed) { return {WrapMul(u.x, speed), WrapMul(u.y, speed)}; }

CharacterEnemy::CharacterEnemy(Env* env, Log* log, GameInfo* gameInfo)
    : Character(env, log), gameInfo(gameInfo) {}

void CharacterEnemy::Act() {
    if (flashTimer <= 0) {
        env->draw.DrawSprite(x, y, sprite);
    } else if (flashSprite == 0) {
        env->draw.DrawSpriteFlash(x, y, sprite);
        --flashTimer;
    } else {
        env->draw.DrawSprite(x, y, flashSprite);
        --flashTimer;
    }
    ++frame;
}

std::int32_t CharacterEnemy::HitByShot(CharacterShot& shot) {
    // Every child is asked, even after one was hit, so one shot can hurt overlapping enemies.
    std::int32_t sum = 0;
    for (Character* child : GetChildren()) {
        if (CharacterEnemy* enemy = child->AsEnemy()) sum += enemy->HitByShot(shot);
    }
    return sum;
}

std::int32_t CharacterEnemy::HitWithin(CharacterShot& shot, std::int32_t radiusSquared) {
    if (!alive || squaredDistance(shot.x, shot.y, x, y) >= radiusSquared) return 0;
    flashTimer = 2;
    --hitPoints;
    if (hitPoints < 1) {
        alive = false;
        Die();
    }
    return 1;
}

bool CharacterEnemy::HitTestCircle(Point centre, std::int32_t radiusSquared) {
    return squaredDistance(x, y, centre.x, centre.y) < radiusSquared;
}

bool CharacterEnemy::HitTestRect(Point min, Point max) {
    return min.x < x && x < max.x && min.y < y && y < max.y;
}

void CharacterEnemy::SetHitPoints(std::int32_t hp) { hitPoints = hp; }

void CharacterEnemy::SetFlashSprite(std::int32_t spriteId) { flashSprite = spriteId; }

void CharacterEnemy::SpawnFlash(Fixed16 fx, Fixed16 fy) {
    AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectMuzzleFlash), fx, fy);
}

void CharacterEnemy::Explode(Fixed16 ex, Fixed16 ey) {
    env->sound.play(Burst2, false);
    AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectExplosion), ex, ey);
}

void CharacterEnemy::Burst(Fixed16, Fixed16) {
    env->sound.play(Burst1, false);
    const bool oldVersion = gameInfo->GetGameMode() == 2 || gameInfo->GetGameMode() == 3;
    // 23 and 50 are coprime: the 50 passes visit every point of the item ring once.
    for (int i = 0; i < 1150; i += 23) {
        auto* debris = AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectExplosion), x, y);
        const int angle = playrand::rand() & 4095;
        const int speed = (playrand::rand() & 15) + 1;
        if (debris) debris->SetVelocity(env->sinCos.cosOf(angle) * speed, env->sinCos.sinOf(angle) * speed);
        if (oldVersion) {
            const int a = ((i % 50) * 4096 / 50) & 4095;
            DropScoreItem(x + env->sinCos.cosOf(a) * 30, y + env->sinCos.sinOf(a) * 30);
        }
    }
}

void CharacterEnemy::FireStraight(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy, std::int32_t base,
                                  std::int32_t hitFactor, Character* tree) {
    // No bullet is born outside the playfield.
    if (bx < 0 || by < 0 || bx > toFixed(480) || by > toFixed(600)) return;
    auto* shot = AttachAt(tree, new CharacterShotEnemy(env, log, gameInfo, base, hitFactor, 1), bx, by);
    if (shot) shot->SetVelocity(vx >> 8, vy >> 8);
}

void CharacterEnemy::FireBulletSmallA(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy) {
    FireStraight(bx, by, vx, vy, bullet::kSmallA, bullet::kSmallHitFactor, gameInfo->GetUpperShotTree());
}

void CharacterEnemy::FireBulletSmallB(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy) {
    FireStraight(bx, by, vx, vy, bullet::kSmallB, bullet::kSmallHitFactor, gameInfo->GetUpperShotTree());
}

void CharacterEnemy::FireBulletLargeA(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy) {
    FireStraight(bx, by, vx, vy, bullet::kLargeA, bullet::kLargeHitFactor, gameInfo->GetLowerShotTree());
}

void CharacterEnemy::FireBulletLargeB(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy) {
    FireStraight(bx, by, vx, vy, bullet::kLargeB, bullet::kLargeHitFactor, gameInfo->GetLowerShotTree());
}

void CharacterEnemy::FireBulletAccel(Fixed16 bx, Fixed16 by, std::int32_t vx, std::int32_t vy) {
    // The bounds test looks at the firing enemy, not at where the bullet starts.
    if (x < 0 || y < 0 || x > toFixed(480) || y > toFixed(600)) return;
    auto* shot = AttachAt(gameInfo->GetLowerShotTree(),
                          new CharacterShotEnemy2(env, log, gameInfo, bullet::kLargeB, bullet::kLargeHitFactor, 1),
                          bx, by);
    if (shot) shot->SetTargetVelocity(WrapMul(2, vx) >> 8, WrapMul(2, vy) >> 8, 2);
}

void CharacterEnemy::DropScoreItem(Fixed16 ix, Fixed16 iy) {
    // The worth is fixed now, by the bullet size of this moment.
    const std::int32_t mode = gameInfo->GetMode();
    const std::int32_t value = mode == 2 ? 1 : mode == 1 ? 3 : 2;
    auto* item = AttachAt(gameInfo->GetMiddleTree(), new CharacterItemScore(env, log, gameInfo, value), ix, iy);
    const Point player = gameInfo->GetPlayerPosition();
    const Point u = direction(WrapSub(player.x, ix), WrapSub(player.y, iy));
    // The three draws are made in this order whether or not the item could be placed.
    const int r = playrand::rand() % 128;
    const int turn = (64 - r) & 4095;
    const Point v = TurnVector(u, env->sinCos.cosOf(turn), env->sinCos.sinOf(turn));
    const int speed = playrand::rand() % 256 + 1200;
    const int a = playrand::rand() & 4095;
    if (!item) return;
    item->SetVelocity(WrapMul(v.x, speed) >> 8, WrapMul(v.y, speed) >> 8);
    item->SetAcceleration(env->sinCos.cosOf(a) >> 10, env->sinCos.sinOf(a) >> 10);
}

void CharacterEnemy::DropItemRing(double count) {
    SinCosTable& table = env->sinCos;
    for (std::int32_t k = 0; k < count; ++k) {
        const int a = ((23 * k) % 50) * 4096 / 50;
        DropScoreItem(x + table.cosOf(a) * 30, y + table.sinOf(a) * 30);
    }
}

std::int32_t CharacterEnemy::VersionMode() { return gameInfo->GetGameMode() - versionShift; }

Point CharacterEnemy::AimAtPlayer(Fixed16 fromX, Fixed16 fromY) {
    const Point player = gameInfo->GetPlayerPosition();
    return direction(WrapSub(player.x, fromX), WrapSub(player.y, fromY));
}

Point CharacterEnemy::Unit(int angle) { return {env->sinCos.cosOf(angle), env->sinCos.sinOf(angle)}; }
