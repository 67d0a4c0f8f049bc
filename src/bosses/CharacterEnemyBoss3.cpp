#include "bosses/CharacterEnemyBoss3.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEnemyTane.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr std::int32_t kCheekSprite = 0x520;
constexpr std::int32_t kCheekFlashSprite = 0x521;
constexpr std::int32_t kMirroredCheekSprite = 0x510;
constexpr std::int32_t kMirroredCheekFlashSprite = 0x511;
constexpr int kDown = 1024;

// Phases 2 to 4 follow the first boss's timings; phase 2 starts below 550 hit points.
constexpr Boss1Rules kOldRules{800, 550, 600, 128, 200, 400, false};

Boss1Rules CurrentRules(GameInfo* gameInfo) {
    return Boss1Rules{gameInfo->GetGameMode() == 5 ? 650 : 350, 550, 600, 128, 200, 400, false};
}
}  // namespace

// ---- cheek ----

CharacterEnemyBoss3Hoppe::CharacterEnemyBoss3Hoppe(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss3Hoppe(env, log, gameInfo, 0) {}

CharacterEnemyBoss3Hoppe::CharacterEnemyBoss3Hoppe(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = 100;
    sprite = kCheekSprite;
    flashSprite = kCheekFlashSprite;
}

CharacterEnemyBoss3bHoppe::CharacterEnemyBoss3bHoppe(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss3Hoppe(env, log, gameInfo, 2) {}

void CharacterEnemyBoss3Hoppe::Mirror() {
    sprite = kMirroredCheekSprite;
    flashSprite = kMirroredCheekFlashSprite;
}

void CharacterEnemyBoss3Hoppe::SetOffset(Fixed16 dx, Fixed16 dy) {
    offsetX = dx;
    offsetY = dy;
}

void CharacterEnemyBoss3Hoppe::Act() {
    if (Character* face = GetParent()) {
        const Point p = face->GetPosition();
        x = p.x + offsetX;
        y = p.y + offsetY;
    }
    CharacterEnemy::Act();
}

std::int32_t CharacterEnemyBoss3Hoppe::HitByShot(CharacterShot& shot) { return HitWithin(shot, 1600); }

void CharacterEnemyBoss3Hoppe::Die() {
    const bool seeds = VersionMode() != 2;
    for (int i = 0; i < 15; ++i) {
        const int dx = playrand::rand() % 60 - 30;
        const int dy = playrand::rand() % 60 - 30;
        const Fixed16 px = x + toFixed(dx), py = y + toFixed(dy);
        Explode(px, py);
        if (!seeds) {
            DropScoreItem(px, py);
            continue;
        }
        // A seed thrown down the field, where it grows into a pot.
        CharacterEnemyTane* seed = versionShift != 0 ? new CharacterEnemyTaneb(env, log, gameInfo)
                                                     : new CharacterEnemyTane(env, log, gameInfo);
        const int tx = playrand::rand() % 200;
        const int ty = playrand::rand() % 200;
        seed = AttachAt(gameInfo->GetEnemyRoot(), seed, px, py);
        if (seed) seed->SetTarget(x - toFixed(50) + toFixed(tx), y + toFixed(200) + toFixed(ty));
    }
}

// ---- face ----

template <class Base>
Boss3Body<Base>::Boss3Body(Env* env, Log* log, GameInfo* gameInfo, const Boss1Rules& rules)
    : Boss1Body<Base>(env, log, gameInfo, rules) {}

template <class Base>
void Boss3Body<Base>::Act() {
    // The cheeks come with the first move after the entry.
    if (!cheeksAdded && this->entryTimer >= this->kEntryFrames) {
        cheeksAdded = true;
        CharacterEnemyBoss3Hoppe* right = MakeCheek();
        right->SetOffset(toFixed(82), toFixed(20));
        this->AddChildren(right);
        CharacterEnemyBoss3Hoppe* left = MakeCheek();
        left->SetOffset(toFixed(-82), toFixed(20));
        left->Mirror();
        this->AddChildren(left);
    }
    Boss1Body<Base>::Act();
}

template <class Base>
void Boss3Body<Base>::TouchShip() {
    // The whole face hurts.
    if (CharacterPlayer* player = this->gameInfo->GetPlayer()) player->HitTestCircle({this->x, this->y}, 19600);
}

template <class Base>
std::int32_t Boss3Body<Base>::HitByShot(CharacterShot& shot) {
    if (!this->Shootable()) return 0;
    // Away from the face's core the shot may still find a cheek.
    if (squaredDistance(shot.x, shot.y, this->x, this->y + toFixed(48)) >= 2500) return CharacterEnemy::HitByShot(shot);
    return this->HitBody();
}

template <class Base>
void Boss3Body<Base>::Defeated() {
    GameInfo* info = this->gameInfo;
    info->EraseEnemyShots();
    // Two of these bosses are fielded together: the first defeat only marks itself, the second
    // ends the stage.
    if (!info->GetFlag(FlagFirstBoss3Down)) {
        info->SetFlag(FlagFirstBoss3Down, true);
    } else {
        info->SetFlag(FlagStageCleared, true);
    }
    this->Burst(this->x, this->y);
    this->DropItemRing(this->DeathRingSize());
}

template <class Base>
void Boss3Body<Base>::Phase1() {
    // Wanders to a new point every 240 frames, throwing a flower-shaped ring every 64.
    if (--this->burstTimer < 1) {
        this->burstTimer = 240;
        const int tx = targetXBase + playrand::rand() % targetXRange;
        const int ty = 50 + playrand::rand() % 200;
        this->targetX = toFixed(tx);
        this->targetY = toFixed(ty);
    }
    this->vx = (this->targetX - this->x) >> 7;
    this->vy = (this->targetY - this->y) >> 7;
    this->x += this->vx;
    this->y += this->vy;
    if (this->frame % 64 != 0) return;
    const Fixed16 ex = this->x, ey = this->y + toFixed(20);
    this->SpawnFlash(ex, ey);
    SinCosTable& table = this->env->sinCos;
    const int step = this->Mode() == 2 ? 4 * 4096 : 2 * 4096;
    for (int a = 0; a < 245760; a += step) {
        const int speed = 500 + (table.cosOf(a / 12) * 120 >> 16);
        const Point v = ScaleVector(this->Unit(kDown + a / 60), speed);
        this->FireBulletLargeA(ex, ey, v.x, v.y);
    }
}

template <class Base>
void Boss3Body<Base>::CurtainMiddle(Fixed16 ex, Fixed16 ey) {
    // A narrower middle than the first boss's, and none at all in the shorter old lap.
    if (this->Mode() == 2) return;
    for (int j = -1; j <= 1; ++j) this->FireFan(ex, ey, kDown + (4096 * j) / 72, this->rules.phase2SlowSpeed, 1, 0);
}

template <class Base>
void Boss3Body<Base>::SprayShot(Fixed16 gx, Fixed16 gy, int angle, std::int32_t speed) {
    if (!this->gameInfo->GetFlag(FlagFirstBoss3Down)) {
        Boss1Body<Base>::SprayShot(gx, gy, angle, speed);
        return;
    }
    // The survivor of a pair fires every spray shot twice: large, and small at half the speed.
    const Point u = this->Unit(angle);
    Point v = ScaleVector(u, speed);
    this->FireBulletLargeA(gx, gy, v.x, v.y);
    v = ScaleVector(u, speed / 2);
    this->FireBulletSmallA(gx, gy, v.x, v.y);
}

template <class Base>
std::int32_t Boss3Body<Base>::Phase4Gate() {
    return this->Mode() == 2 ? 22 : 11;
}

template class Boss3Body<CharacterEnemy>;
template class Boss3Body<CharacterEnemyBoss>;

CharacterEnemyBoss3::CharacterEnemyBoss3(Env* env, Log* log, GameInfo* gameInfo)
    : Boss3Body<CharacterEnemy>(env, log, gameInfo, kOldRules) {}

CharacterEnemyBoss3Hoppe* CharacterEnemyBoss3::MakeCheek() { return new CharacterEnemyBoss3Hoppe(env, log, gameInfo); }

CharacterEnemyBoss3b::CharacterEnemyBoss3b(Env* env, Log* log, GameInfo* gameInfo)
    : Boss3Body<CharacterEnemyBoss>(env, log, gameInfo, CurrentRules(gameInfo)) {
    targetXBase = 140;
    targetXRange = 200;
    StartCurrentVersion(gameInfo->GetGameMode() == 5 ? 51.0 : 41.0);
    // Two bosses built one after the other take turns: the first moves its gauge and timer aside
    // so that the two sets do not overlap.
    if (gameInfo->GetFlag(FlagBoss3GaugeMoved)) {
        gameInfo->SetFlag(FlagBoss3GaugeMoved, false);
    } else {
        gameInfo->SetFlag(FlagBoss3GaugeMoved, true);
        gaugeY = toFixed(38);
        if (bonusTimer != nullptr) bonusTimer->SetPosition(toFixed(306), toFixed(16));
    }
}

CharacterEnemyBoss3Hoppe* CharacterEnemyBoss3b::MakeCheek() { return new CharacterEnemyBoss3bHoppe(env, log, gameInfo); }

void CharacterEnemyBoss3b::Phase3Fan() {
    // Only in the longer lap, and then as the first boss's current version fires it.
    if (Mode() == 3) BigFan(true);
}

std::int32_t CharacterEnemyBoss3b::Phase4Gate() {
    // The survivor of a pair fires faster.
    if (gameInfo->GetFlag(FlagFirstBoss3Down)) return Mode() == 2 ? 11 : 7;
    return Mode() == 2 ? 22 : 11;
}
