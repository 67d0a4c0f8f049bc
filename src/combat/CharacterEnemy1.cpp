#include "combat/CharacterEnemy1.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr std::int32_t kHitRadiusSquared = 900;  // 30 pixels
constexpr int kDown = 1024;                     // SinCosTable angle of straight down
}  // namespace

CharacterEnemy1::CharacterEnemy1(Env* env, Log* log, GameInfo* gameInfo) : CharacterEnemy1(env, log, gameInfo, 0) {}

CharacterEnemy1::CharacterEnemy1(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = 3;
    sprite = 0x200;
}

CharacterEnemy1b::CharacterEnemy1b(Env* env, Log* log, GameInfo* gameInfo) : CharacterEnemy1(env, log, gameInfo, 2) {}

std::int32_t CharacterEnemy1::HitByShot(CharacterShot& shot) { return HitWithin(shot, kHitRadiusSquared); }

void CharacterEnemy1::Die() {
    Explode(x, y);
    DropScoreItem(x, y);
    DropScoreItem(x, y);
}

void CharacterEnemy1::FireRing(std::int32_t count, std::int32_t step, std::int32_t speed) {
    env->sound.play(Burst2, false);
    Point u = AimAtPlayer(x, y);
    const Fixed16 c = env->sinCos.cosOf(step), s = env->sinCos.sinOf(step);
    for (std::int32_t i = 0; i < count; ++i) {
        const Point v = ScaleVector(u, speed);
        FireBulletLargeA(x, y, v.x, v.y);
        u = TurnVector(u, c, s);
    }
    SpawnFlash(x, y);
}

void CharacterEnemy1::Act() {
    CharacterEnemy::Act();
    // Aims where the ship is on frame 10 and accelerates that way until frame 59.
    if (frame == 10) {
        const Point aim = AimAtPlayer(x, y);
        aimX = aim.x;
        aimY = aim.y;
    }
    if (frame >= 11 && frame <= 59) {
        vx += aimX >> 4;
        vy += aimY >> 4;
    }
    x += vx;
    y += vy;
    if (frame >= 300) alive = false;
    if (frame == 60) FireRing(4, 1024, 164);  // a slow cross, one arm aimed
    if ((frame == 120 || frame == 200) && VersionMode() != 2) FireRing(8, 512, 228);
}

CharacterEnemy2b::CharacterEnemy2b(Env* env, Log* log, GameInfo* gameInfo) : CharacterEnemy1(env, log, gameInfo, 2) {
    hitPoints = VersionMode() == 2 ? 5 : 8;
}

void CharacterEnemy2b::Die() {
    Explode(x, y);
    DropScoreItem(x, y);
    DropScoreItem(x, y);
    DropScoreItem(x, y);
}

void CharacterEnemy2b::Act() {
    CharacterEnemy::Act();
    // Turns away from the ship on frame 120 and accelerates off.
    if (frame == 120) {
        const Point away = direction(WrapSub(x, gameInfo->GetPlayerPosition().x),
                                     WrapSub(y, gameInfo->GetPlayerPosition().y));
        aimX = away.x;
        aimY = away.y;
    }
    if (frame >= 121 && frame <= 149) {
        vx += aimX >> 4;
        vy += aimY >> 4;
    }
    x += vx;
    y += vy;
    if (frame >= 600) alive = false;
    if (frame > 300) return;
    if (frame % 60 == 0) {
        env->sound.play(Burst2, false);
        const Point v = ScaleVector(Unit(kDown), 800);
        FireBulletLargeA(x, y, v.x, v.y);
        SpawnFlash(x, y);
    }
    if (frame % 60 == 30 && VersionMode() == 3) {
        // Six small bullets, the first due right, each turned from the last by a random angle.
        env->sound.play(Burst2, false);
        Point u = Unit(0);
        for (int i = 0; i < 6; ++i) {
            if (i > 0) {
                const int turn = playrand::rand() & 4095;
                u = TurnVector(u, env->sinCos.cosOf(turn), env->sinCos.sinOf(turn));
            }
            const Point v = ScaleVector(u, 800);
            FireBulletSmallA(x, y, v.x, v.y);
        }
        SpawnFlash(x, y);
    }
}
