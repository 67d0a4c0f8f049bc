#include "bosses/CharacterEnemyMaster.h"
#include <cstdint>
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotBorn.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr std::int32_t kSprite = 0x500;
constexpr std::int32_t kFlashSprite = 0x510;
// The face over the body, by bullet-size mode (0 normal, 1 small, 2 large).
constexpr std::int32_t kFaceSprite[3] = {0x501, 0x503, 0x502};
constexpr std::int32_t kHitRadiusSquared = 16900;  // 130 pixels

// A random spot of a 4 x 5 grid and a 6 x 8 grid over the field (pixels).
constexpr int kSmallGridX[4] = {60, 180, 300, 420};
constexpr int kSmallGridY[5] = {60, 180, 300, 420, 540};

// The largest whole number whose square is at most n (n >= 0).
std::int32_t WholeSqrt(std::int32_t n) {
    std::int32_t r = 0;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

// (a * k + b * f) mod 4096 for any frame count: the products may leave the int32 range, and a
// 32-bit wrap keeps their remainder modulo 4096.
int Scatter(std::uint32_t a, std::uint32_t k, std::uint32_t b, std::int32_t f) {
    return static_cast<int>((a * k + b * static_cast<std::uint32_t>(f)) & 4095u);
}

constexpr std::int32_t kOldRings[] = {360, 420};
constexpr std::int32_t kCurrentRings[] = {350, 410, 530, 570, 610};
}  // namespace

template <class Base>
MasterBody<Base>::MasterBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hitPoints) : Base(env, log, gameInfo) {
    this->hitPoints = hitPoints;
    this->sprite = kSprite;
    this->flashSprite = kFlashSprite;
}

template <class Base>
void MasterBody<Base>::Act() {
    const bool flashing = this->flashTimer > 0;
    Base::Act();
    const std::int32_t mode = this->gameInfo->GetMode();
    const std::int32_t face = kFaceSprite[mode >= 0 && mode < 3 ? mode : 0];
    const Fixed16 fy = this->y + toFixed(1);
    if (flashing) {
        this->env->draw.DrawSpriteFlash(this->x, fy, face);
    } else {
        this->env->draw.DrawSprite(this->x, fy, face);
    }
    const std::int32_t next = NextPhase();
    if (next != phase) SwitchTo(next);
    RunPhase();
}

template <class Base>
void MasterBody<Base>::RunPhase() {
    switch (phase) {
    case 1: Phase1(); break;
    case 2: Phase2(); break;
    case 3: Phase3(); break;
    case 4: Phase4(); break;
    case 5: Phase5(); break;
    default: Phase6(); break;
    }
}

template <class Base>
void MasterBody<Base>::SwitchTo(std::int32_t next) {
    phase = next;
    this->frame = 0;
    this->gameInfo->EraseEnemyShots();
}

template <class Base>
std::int32_t MasterBody<Base>::HitByShot(CharacterShot& shot) {
    // A hit never destroys it; the hit points simply run on below zero until the death begins.
    if (!this->alive || Dying() || deathCounter >= 1) return 0;
    if (squaredDistance(shot.x, shot.y, this->x, this->y) >= kHitRadiusSquared) return 0;
    this->flashTimer = 2;
    --this->hitPoints;
    return 1;
}

template <class Base>
void MasterBody<Base>::ScatteredSpray() {
    const std::int32_t frame = this->frame;
    if (frame < 180 || frame % 8 != 0) return;
    const Fixed16 x = this->x, y = this->y;
    SinCosTable& table = this->env->sinCos;
    // Turns spread round the ship's direction by large primes, so the spray looks scattered.
    const Point d = this->AimAtPlayer(x, y);
    for (std::uint32_t k = 0; k < 8; ++k) {
        const int turn = Scatter(363231, k, 37171, frame);
        const Point v = ScaleVector(TurnVector(d, table.cosOf(turn), table.sinOf(turn)), 500);
        this->FireBulletLargeB(x, y, v.x, v.y);
    }
    for (std::uint32_t k = 0; k < 16; ++k) {
        const int turn = Scatter(11231, k, 17171, frame);
        const Point v = ScaleVector(TurnVector(d, table.cosOf(turn), table.sinOf(turn)), 800);
        this->FireBulletSmallB(x, y, v.x, v.y);
    }
    this->SpawnFlash(x, y);
}

template <class Base>
void MasterBody<Base>::WobblingSweep(const std::int32_t* ringFrames, int ringCount, std::int32_t lastFrame,
                                     std::int32_t next) {
    const std::int32_t frame = this->frame;
    if (frame > lastFrame) {
        SwitchTo(next);
        return;
    }
    if (frame < 180) return;
    const Fixed16 x = this->x, y = this->y;
    SinCosTable& table = this->env->sinCos;
    const int turn = 8 * ((17 * frame) % 512);
    const std::int32_t speed = 400 + ((table.cosOf(81 * frame) + table.cosOf(8 * frame)) >> 9);
    const Point v = ScaleVector(TurnVector(this->AimAtPlayer(x, y), table.cosOf(turn), table.sinOf(turn)), speed);
    this->FireBulletLargeB(x, y, v.x, v.y);
    for (int i = 0; i < ringCount; ++i) {
        if (frame != ringFrames[i]) continue;
        // Two rings of 60, the second slower and turned a little.
        for (int k = 0; k < 60; ++k) {
            const int a = 477 * k;
            Point r = ScaleVector(this->Unit(a), 600);
            this->FireBulletLargeA(x, y, r.x, r.y);
            r = ScaleVector(this->Unit(a + 34), 550);
            this->FireBulletLargeA(x, y, r.x, r.y);
        }
    }
}

template <class Base>
void MasterBody<Base>::RandomSprayAndGrid() {
    const Fixed16 x = this->x, y = this->y;
    if (playrand::rand() % 2 == 0) {
        const Point v = ScaleVector(this->Unit(playrand::rand() % 4096), 400);
        this->FireBulletLargeA(x, y, v.x, v.y);
    }
    if (playrand::rand() % 2 == 0) {
        const Point v = ScaleVector(this->Unit(playrand::rand() % 4096), 400);
        this->FireBulletSmallA(x, y, v.x, v.y);
    }
    const std::int32_t frame = this->frame;
    if ((frame + 64) % 512 == 0) {
        // The warning, 64 frames before the grid bursts.
        for (int gy : kSmallGridY) {
            for (int gx : kSmallGridX) {
                AttachAt(this->gameInfo->GetTopTree(), new CharacterEffect(this->env, this->log, EffectSlowFlash),
                         toFixed(gx), toFixed(gy));
            }
        }
    }
    if (frame % 512 != 0) return;
    for (int gy : kSmallGridY) {
        for (int gx : kSmallGridX) {
            for (int i = 0; i < 4; ++i) {
                const Point v = ScaleVector(this->Unit(playrand::rand() % 4096), 500);
                this->FireBulletAccel(toFixed(gx), toFixed(gy), v.x, v.y);
            }
        }
    }
}

template <class Base>
void MasterBody<Base>::Spirals(std::int32_t lastFrame, std::int32_t next) {
    const std::int32_t frame = this->frame;
    if (frame > lastFrame) {
        SwitchTo(next);
        return;
    }
    if (frame % 8 != 0) return;
    // Pairs of counter-rotating spirals (each arm turned by +r, then by -r), doubling their arms
    // every 60 frames, then a fixed 64-arm ring of pairs: an arm, then one 32 units further.
    std::int32_t arms, from, first, second;
    auto spiral = [&](std::int32_t n, std::int32_t start, std::int32_t r) {
        arms = n, from = start, first = r, second = -r;
    };
    if (frame <= 60) {
        spiral(8, 0, 4096 * frame / 1920);
    } else if (frame <= 120) {
        spiral(16, 128, 4096 * (frame - 60) / 3840);
    } else if (frame <= 180) {
        spiral(32, 192, 4096 * (frame - 120) / 7680);
    } else if (frame <= 240) {
        spiral(64, 224, 4096 * (frame - 180) / 15360);
    } else {
        arms = 64, from = 208, first = 0, second = 32;
    }
    const std::int32_t step = 4096 / arms;
    const Fixed16 x = this->x, y = this->y;
    for (std::int32_t k = 0; k < arms; ++k) {
        const std::int32_t a = from + step * k;
        this->SpawnFlash(x, y);
        Point v = ScaleVector(this->Unit(a + first), 1600);
        this->FireBulletLargeA(x, y, v.x, v.y);
        v = ScaleVector(this->Unit(a + second), 1600);
        this->FireBulletLargeA(x, y, v.x, v.y);
    }
}

template <class Base>
void MasterBody<Base>::GreatGrid() {
    const std::int32_t frame = this->frame;
    if ((frame - 192) % 512 == 0) {
        for (int gy : kGridRows) {
            for (int gx : kGridColumns) {
                AttachAt(this->gameInfo->GetTopTree(), new CharacterEffect(this->env, this->log, EffectSlowFlash),
                         toFixed(gx), toFixed(gy));
            }
        }
    }
    if ((frame - 256) % 512 != 0) return;
    SinCosTable& table = this->env->sinCos;
    // Every grid point bursts downward, the higher rows faster.
    for (int gy : kGridRows) {
        for (int gx : kGridColumns) {
            for (int i = 0; i < 3; ++i) {
                const std::int32_t s = playrand::rand() % 128 + 16 + (600 - gy) / 4;
                const int a = playrand::rand() % 2048;
                this->FireBulletAccel(toFixed(gx), toFixed(gy), table.cosOf(a) * s, table.sinOf(a) * s);
            }
        }
    }
    // And a rain of small bullets from the very top edge of every column.
    for (int gx : kGridColumns) {
        for (int i = 0; i < 50; ++i) {
            const std::int32_t s = 32 + playrand::rand() % 320;
            const int a = playrand::rand() % 2048;
            this->FireBulletSmallB(toFixed(gx), 1, table.cosOf(a) * s, table.sinOf(a) * s);
        }
    }
}

template class MasterBody<CharacterEnemy>;
template class MasterBody<CharacterEnemyBoss>;

CharacterEnemyMaster::CharacterEnemyMaster(Env* env, Log* log, GameInfo* gameInfo)
    : MasterBody<CharacterEnemy>(env, log, gameInfo, 2300) {}

std::int32_t CharacterEnemyMaster::NextPhase() {
    if (phase == 1 && hitPoints < 2000) return 2;
    if (phase == 3 && hitPoints < 1000) return 4;
    if (phase == 5 && hitPoints < 0) return 6;
    return phase;
}

void CharacterEnemyMaster::Phase1() { ScatteredSpray(); }
void CharacterEnemyMaster::Phase2() { WobblingSweep(kOldRings, 2, 800, 3); }
void CharacterEnemyMaster::Phase3() { RandomSprayAndGrid(); }
void CharacterEnemyMaster::Phase4() { Spirals(480, 5); }
void CharacterEnemyMaster::Phase5() { GreatGrid(); }

void CharacterEnemyMaster::Phase6() {
    if (frame % 3 != 0) return;
    DropScoreItem(x, y);
    if (++deathCounter == kDeathItems) {
        gameInfo->SetFlag(FlagStageCleared, true);
        ++deathCounter;  // past the hundred, so the flag is set once
    }
}

CharacterEnemyMasterb::CharacterEnemyMasterb(Env* env, Log* log, GameInfo* gameInfo)
    : MasterBody<CharacterEnemyBoss>(env, log, gameInfo, 2700) {
    StartCurrentVersion(301.0, 0.03);
}

std::int32_t CharacterEnemyMasterb::NextPhase() {
    if (phase == 1 && hitPoints < 2400) return 2;
    if (phase == 3 && hitPoints < 1400) return 4;
    if (phase == 6 && hitPoints < 0) return 7;
    return phase;
}

void CharacterEnemyMasterb::RunPhase() {
    if (phase == 7) {
        Phase7();
        return;
    }
    MasterBody<CharacterEnemyBoss>::RunPhase();
}

void CharacterEnemyMasterb::Phase1() { ScatteredSpray(); }
void CharacterEnemyMasterb::Phase2() { WobblingSweep(kCurrentRings, 5, 899, 3); }
void CharacterEnemyMasterb::Phase3() { RandomSprayAndGrid(); }

void CharacterEnemyMasterb::Phase4() {
    if (frame <= 120) return;
    if (frame > 870) {
        SwitchTo(5);
        return;
    }
    // The last seventy frames clear the field before the spirals.
    if (frame > 800) {
        gameInfo->EraseEnemyShots();
        return;
    }
    if (frame % 55 != 0) return;
    auto release = [this](std::int32_t count) {
        const int sx = 140 + playrand::rand() % 300;
        const int angle = playrand::rand() % 4096;
        ReleaseSeeds(toFixed(sx), toFixed(120), angle, 120, count, 1200);
    };
    release(8);
    if (frame > 600) release(4);
}

void CharacterEnemyMasterb::Phase5() { Spirals(440, 6); }
void CharacterEnemyMasterb::Phase6() { GreatGrid(); }

void CharacterEnemyMasterb::Phase7() {
    if (++deathCounter != kDeathItems) return;
    gameInfo->SetFlag(FlagStageCleared, true);
    const double left = StopBonusTimer();
    const auto items = static_cast<std::int32_t>(left);
    for (std::int32_t i = 0; i < items; ++i) DropScoreItem(x, y);
}

void CharacterEnemyMasterb::ReleaseSeeds(Fixed16 sx, Fixed16 sy, std::int32_t angle, std::int32_t spread,
                                         std::int32_t count, std::int32_t speed) {
    for (std::int32_t i = 0; i < count; ++i) {
        const int a = playrand::rand() & 4095;
        // The square root of a uniform draw over spread squared spreads the seeds evenly over the
        // disc's area rather than bunching them at its centre.
        const std::int32_t r = playrand::rand();
        const std::int32_t d = spread > 0 ? WholeSqrt(r % (spread * spread)) : 0;
        AttachAt(gameInfo->GetEnemyRoot(), new CharacterShotBorn(env, log, gameInfo, angle, speed, 16),
                 sx + env->sinCos.cosOf(a) * d, sy + env->sinCos.sinOf(a) * d);
    }
}
