#include "combat/CharacterEnemyJelly.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "play/GameInfo.h"
#include "play/Random.h"

CharacterEnemyJelly::CharacterEnemyJelly(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyJelly(env, log, gameInfo, 0) {}

CharacterEnemyJelly::CharacterEnemyJelly(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = VersionMode() == 2 ? 30 : 66;
    sprite = 0x248;
    flashSprite = 0x249;
}

CharacterEnemyJellyb::CharacterEnemyJellyb(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyJelly(env, log, gameInfo, 2) {}

std::int32_t CharacterEnemyJelly::HitByShot(CharacterShot& shot) { return HitWithin(shot, 4096); }

void CharacterEnemyJelly::Die() {
    // Ten explosions scattered around it, each with an item; no sound.
    for (int i = 0; i < 10; ++i) {
        const int r1 = playrand::rand() % 128;
        const int r2 = playrand::rand() % 128;
        const Fixed16 px = x + toFixed(r1) - toFixed(64);
        const Fixed16 py = y + toFixed(r2) - toFixed(64);
        auto* blast = AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectExplosion), px, py);
        const int angle = playrand::rand() & 4095;
        const int speed = (playrand::rand() & 15) + 1;
        if (blast) blast->SetVelocity(env->sinCos.cosOf(angle) * speed / 16, env->sinCos.sinOf(angle) * speed / 16);
        DropScoreItem(px, py);
    }
}

void CharacterEnemyJelly::Act() {
    CharacterEnemy::Act();
    if (frame > 240 && frame % 90 < 45) {
        vy -= 5242;  // bobbing up
        if (y <= toFixed(-70)) alive = false;
    }
    vy += 655;  // sinking
    // Drag that only bites from one pixel a frame on.
    if (vy <= 0) {
        vy = vy + (vy >> 16) * (vy / 16);
    } else {
        vy = vy - (vy >> 16) * (vy / 16);
    }
    x += vx;
    y += vy;
    if (frame < 240 && frame % 45 < 15 && frame % 4 == 0) FireStreams();
    if (frame > 240 && frame % 32 == 0) FireFans();
}

void CharacterEnemyJelly::FireStreams() {
    const std::int32_t speed = 3 * frame + 700;
    env->sound.play(Burst2, false);
    const Point down = Unit(1024);
    auto stream = [&](int dx, int dy, std::int32_t s) {
        const Fixed16 sx = x + toFixed(dx), sy = y + toFixed(dy);
        const Point v = ScaleVector(down, s);
        FireBulletLargeA(sx, sy, v.x, v.y);
        SpawnFlash(sx, sy);
    };
    if (VersionMode() != 2) {
        stream(10, 30, speed);
        stream(-10, 30, speed);
    }
    const std::int32_t outer = speed * 54613 / 65536;
    stream(40, 10, outer);
    stream(-40, 10, outer);
}

void CharacterEnemyJelly::FireFans() {
    env->sound.play(Burst2, false);
    // Angle 0 is straight down here: a bullet of angle a starts 50 pixels out along (-s, c).
    auto fan = [&](const int* angles, int count, bool large) {
        for (int i = 0; i < count; ++i) {
            const Fixed16 c = env->sinCos.cosOf(angles[i]), s = env->sinCos.sinOf(angles[i]);
            const Fixed16 sx = x - 50 * s, sy = y + 50 * c;
            const std::int32_t vx = ((-s) >> 8) * 89600, vy = (c >> 8) * 89600;
            if (large) {
                FireBulletLargeB(sx, sy, vx, vy);
            } else {
                FireBulletSmallB(sx, sy, vx, vy);
            }
            SpawnFlash(sx, sy);
        }
    };
    static constexpr int kLarge[] = {1024, 768, 512, 256, -1024, -768, -512, -256, 0};
    static constexpr int kSmall[] = {896, 640, 384, 128, -896, -640, -384, -128};
    if (VersionMode() != 2) fan(kLarge, 9, true);
    fan(kSmall, 8, false);
}
