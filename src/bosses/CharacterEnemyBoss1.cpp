#include "bosses/CharacterEnemyBoss1.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr int kDown = 1024;

constexpr Boss1Rules kOldRules{1400, 1000, 600, 128, 200, 400, false};
}  // namespace

template <class Base>
Boss1Body<Base>::Boss1Body(Env* env, Log* log, GameInfo* gameInfo, const Boss1Rules& rules)
    : BossBody<Base>(env, log, gameInfo, rules.hitPoints), rules(rules) {}

template <class Base>
std::int32_t Boss1Body<Base>::NextPhase() {
    return this->phase == 1 && this->hitPoints < rules.phase2Below ? 2 : this->phase;
}

template <class Base>
void Boss1Body<Base>::TouchShip() {
    if (CharacterPlayer* player = this->gameInfo->GetPlayer()) {
        player->HitTestCircle({this->x, this->y + toFixed(52)}, 1764);
    }
}

template <class Base>
std::int32_t Boss1Body<Base>::HitByShot(CharacterShot& shot) {
    if (!this->Shootable()) return 0;
    if (squaredDistance(shot.x, shot.y, this->x, this->y + toFixed(48)) >= 2500) return 0;
    return this->HitBody();
}

template <class Base>
void Boss1Body<Base>::Glide() {
    this->x += this->vx;
    this->vx = this->vx * 15 / 16;
    this->y += this->vy;
    this->vy = this->vy * 15 / 16;
}

template <class Base>
void Boss1Body<Base>::GunVolley(Fixed16 gx, Fixed16 gy, std::int32_t offset) {
    const Point d = this->AimAtPlayer(gx, gy);
    this->SpawnFlash(gx, gy);
    SinCosTable& table = this->env->sinCos;
    for (int k = -4; k <= 4; ++k) {
        const int turn = (k * 256 + offset) & 4095;
        const Point u = TurnVector(d, table.cosOf(turn), table.sinOf(turn));
        Point v = ScaleVector(u, 800);
        this->FireBulletSmallA(gx, gy, v.x, v.y);
        v = ScaleVector(u, 700);
        this->FireBulletLargeA(gx, gy, v.x, v.y);
        v = ScaleVector(u, 600);
        this->FireBulletSmallA(gx, gy, v.x, v.y);
        if (this->Mode() != 2) {
            v = ScaleVector(u, 900);
            this->FireBulletLargeA(gx, gy, v.x, v.y);
        }
    }
}

template <class Base>
void Boss1Body<Base>::Phase1() {
    GameInfo* info = this->gameInfo;
    const Fixed16 x = this->x, y = this->y;
    // Nudges towards the ship for a few frames every 128.
    if (--turnTimer < 1) {
        this->vx += info->GetPlayerPosition().x < x ? -8192 : 8192;
        if (turnTimer < -7) turnTimer = 120;
    }
    if (y <= toFixed(100) && burstTimer < 1) {
        burstTimer = this->Mode() == 2 ? 150 : 100;
        volleys = 1;
        ++burstCount;
        if (burstCount % 4 == 0) volleys = this->Mode() == 2 ? 2 : 3;
    }
    if (burstTimer >= 0) {
        --burstTimer;
        this->vy += 4096;  // sinks during a burst
        if (burstTimer % 16 == 0 && volleys > 0) {
            --volleys;
            GunVolley(x + toFixed(58), y + toFixed(71), volleys * 64);
            GunVolley(x - toFixed(58), y + toFixed(71), -volleys * 64);
        }
    }
    Glide();
    if (this->frame > 179 && burstTimer < 1 && this->frame % 16 == 0) {
        const Fixed16 ex = this->x, ey = this->y + toFixed(94);
        const Point down = ScaleVector(this->Unit(kDown), 1000);
        this->FireBulletLargeA(ex, ey, down.x, down.y);
        this->vy -= toFixed(2);  // recoil
        for (int i = 0; i < 5; ++i) {
            const int angle = 1088 - playrand::rand() % 128;
            const int speed = 1100 - playrand::rand() % 200;
            const Point v = ScaleVector(this->Unit(angle), speed);
            this->FireBulletSmallA(ex, ey, v.x, v.y);
        }
        this->SpawnFlash(ex, ey);
    }
}

template <class Base>
void Boss1Body<Base>::FireFan(Fixed16 ex, Fixed16 ey, std::int32_t angle, std::int32_t firstSpeed,
                              std::int32_t count, std::int32_t step) {
    // count bullets in one direction, each step faster than the one before.
    const Point u = this->Unit(angle);
    for (std::int32_t i = 0; i < count; ++i) {
        const Point v = ScaleVector(u, firstSpeed + i * step);
        this->FireBulletLargeB(ex, ey, v.x, v.y);
    }
}

template <class Base>
void Boss1Body<Base>::Phase2() {
    Glide();
    const std::int32_t frame = this->frame;
    if (frame < 30) return;
    if (frame > rules.phase2End) {
        this->phase = 3;
        this->frame = 0;
        volleys = 0;
        burstTimer = 0;
        return;
    }
    if (frame % rules.phase2Period != 0) return;
    // Slow wide curtains with a gap, crossed by a faster inner fan.
    const Fixed16 ex = this->x, ey = this->y + toFixed(94);
    this->SpawnFlash(ex, ey);
    auto curtain = [&](int j, std::int32_t speed) { FireFan(ex, ey, 1024 + (4096 * j) / 72, speed, 1, 0); };
    for (int j = -6; j >= -15; --j) curtain(j, rules.phase2SlowSpeed);
    CurtainMiddle(ex, ey);
    for (int j = 6; j <= 15; ++j) curtain(j, rules.phase2SlowSpeed);
    for (int j = 2; j <= 5; ++j) {
        curtain(j, rules.phase2FastSpeed);
        curtain(-j, rules.phase2FastSpeed);
    }
}

template <class Base>
void Boss1Body<Base>::CurtainMiddle(Fixed16 ex, Fixed16 ey) {
    if (this->Mode() == 2) {
        FireFan(ex, ey, kDown, rules.phase2SlowSpeed, 1, 0);
        return;
    }
    for (int j = -2; j <= 2; ++j) FireFan(ex, ey, kDown + (4096 * j) / 72, rules.phase2SlowSpeed, 1, 0);
}

template <class Base>
void Boss1Body<Base>::NewTarget(bool dodgePlayer) {
    burstTimer = 240;
    const int tx = 100 + playrand::rand() % 280;
    const int ty = 50 + playrand::rand() % 200;
    this->targetX = toFixed(tx);
    this->targetY = toFixed(ty);
    // With the ship high up, the boss rises above the top edge instead.
    if (dodgePlayer && this->gameInfo->GetPlayerPosition().y < this->targetY + toFixed(76)) {
        this->targetY = toFixed(-71);
    }
    ++volleys;
}

template <class Base>
void Boss1Body<Base>::Wander(bool dodgePlayer, std::int32_t targetsBeforeSwitch, std::int32_t nextPhase) {
    if (--burstTimer < 1) {
        NewTarget(dodgePlayer);
        if (volleys > targetsBeforeSwitch) {
            this->phase = nextPhase;
            this->frame = 0;
            volleys = 0;
        }
    }
    this->vx = (this->targetX - this->x) >> 7;
    this->vy = (this->targetY - this->y) >> 7;
    this->x += this->vx;
    this->y += this->vy;
}

template <class Base>
void Boss1Body<Base>::Phase3() {
    // On the frame it leaves for phase 4 the rest still runs, with the frame count already back
    // at 0: leaving phase 3 throws one more big fan (0 is a multiple of 512) and, where the rate
    // gate lets frame 0 through, one more spray bullet from the left gun.
    Wander(true, 4, 4);
    const std::int32_t frame = this->frame;
    const Fixed16 x = this->x, y = this->y;
    if (frame % 512 == 0) Phase3Fan();
    // Rate gate.
    if (rules.current && this->Mode() == 3) {
        if (frame % 2 == 0 || frame % 12 == 1 || frame % 12 == 5) return;
    } else if (frame % (this->Mode() == 2 ? 8 : 4) != 0) {
        return;
    }
    // Two mirrored sweeping sprays that speed up as they turn.
    const int t = frame % 128;
    if (t < 60) {
        const Fixed16 lx = x - toFixed(58), ly = y + toFixed(71);
        this->SpawnFlash(lx, ly);
        SprayShot(lx, ly, 256 + 32 * t, 100 + 10 * t);
    } else if (t >= 64 && t < 124) {
        const Fixed16 rx = x + toFixed(58), ry = y + toFixed(71);
        this->SpawnFlash(rx, ry);
        SprayShot(rx, ry, 1792 - 32 * (t - 64), 100 + 10 * (t - 64));
    }
}

template <class Base>
void Boss1Body<Base>::Phase3Fan() {
    BigFan(rules.current);
}

template <class Base>
void Boss1Body<Base>::BigFan(bool current) {
    const Fixed16 ex = this->x, ey = this->y + toFixed(94);
    this->SpawnFlash(ex, ey);
    if (current) {
        for (int j = -5; j <= 5; j += 2) FireFan(ex, ey, 1024 + 128 * j, 400, 8, 50);
        if (this->Mode() == 3) {
            for (int j = -4; j <= 4; j += 2) FireFan(ex, ey, 1024 + 128 * j, 350, 7, 50);
        }
    } else {
        for (int j = -5; j <= 5; j += 2) FireFan(ex, ey, 1024 + 128 * j, 400, 1, 0);
        for (int j = -4; j <= 4; j += 2) FireFan(ex, ey, 1024 + 128 * j, 350, 1, 0);
    }
}

template <class Base>
void Boss1Body<Base>::SprayShot(Fixed16 gx, Fixed16 gy, int angle, std::int32_t speed) {
    const Point v = ScaleVector(this->Unit(angle), speed);
    this->FireBulletSmallA(gx, gy, v.x, v.y);
}

template <class Base>
std::int32_t Boss1Body<Base>::Phase4Gate() {
    return this->Mode() == 2 ? 16 : 8;
}

template <class Base>
void Boss1Body<Base>::Phase4() {
    // Back to phase 3 the frame count is 0 and the streams (from frame 120) stay silent.
    Wander(false, 2, 3);
    const std::int32_t frame = this->frame;
    if (frame % Phase4Gate() != 0) return;
    if (frame < 120) return;
    SinCosTable& table = this->env->sinCos;
    // Twin aimed streams whose spread breathes over 256 frames and speed over 100.
    const std::int32_t spread = WrapMul(32768 - table.cosOf(16 * frame), 512) >> 16;
    const std::int32_t speed = 400 + (table.cosOf(WrapMul(4096, frame) / 100) * 100 >> 16);
    auto stream = [&](Fixed16 gx, Fixed16 gy, std::int32_t turnBy) {
        this->SpawnFlash(gx, gy);
        const int turn = turnBy & 4095;
        const Point u = TurnVector(this->AimAtPlayer(gx, gy), table.cosOf(turn), table.sinOf(turn));
        Point v = ScaleVector(u, speed);
        this->FireBulletSmallB(gx, gy, v.x, v.y);
        v = ScaleVector(u, speed + 50);
        this->FireBulletLargeB(gx, gy, v.x, v.y);
    };
    const Fixed16 gy = this->y + toFixed(71);
    stream(this->x - toFixed(58), gy, spread);
    stream(this->x + toFixed(58), gy, -spread);
}

template class Boss1Body<CharacterEnemy>;
template class Boss1Body<CharacterEnemyBoss>;

CharacterEnemyBoss1::CharacterEnemyBoss1(Env* env, Log* log, GameInfo* gameInfo)
    : Boss1Body<CharacterEnemy>(env, log, gameInfo, kOldRules) {}

namespace {
Boss1Rules CurrentRules(GameInfo* gameInfo) {
    const bool secondLap = gameInfo->GetGameMode() == 5;
    return Boss1Rules{secondLap ? 1400 : 700, secondLap ? 1000 : 500, 200, 64, 400, 800, true};
}
}  // namespace

CharacterEnemyBoss1b::CharacterEnemyBoss1b(Env* env, Log* log, GameInfo* gameInfo)
    : Boss1Body<CharacterEnemyBoss>(env, log, gameInfo, CurrentRules(gameInfo)) {
    StartCurrentVersion(gameInfo->GetGameMode() == 5 ? 81.0 : 61.0);
}
