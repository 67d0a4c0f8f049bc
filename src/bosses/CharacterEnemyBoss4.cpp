#include "bosses/CharacterEnemyBoss4.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"
#include "play/Random.h"

namespace {
constexpr std::int32_t kBubbleSprite = 0x510;
constexpr int kDown = 1024;
constexpr std::int32_t kSweepAccel = 1092;  // 1/60 pixel per frame per frame
constexpr std::int32_t kBubbleSpeedX2 = 7;  // 3.5 pixels per frame, doubled

constexpr Boss4Rules kOldRules{2040, 1300, 800, 24, 24, 80, false};

// The four release points of the bubbles, on the inner emitters of both wings.
constexpr int kBubbleX[4] = {-167, -78, 167, 78};
constexpr int kBubbleY[4] = {27, 4, 27, 4};
}  // namespace

template <class Base>
Boss4Body<Base>::Boss4Body(Env* env, Log* log, GameInfo* gameInfo, const Boss4Rules& rules)
    : BossBody<Base>(env, log, gameInfo, rules.hitPoints), rules(rules) {}

template <class Base>
std::int32_t Boss4Body<Base>::NextPhase() {
    const std::int32_t hp = this->hitPoints, phase = this->phase;
    if (phase == 1 && hp < rules.phase2Below) return 2;
    if (phase == 2 && hp < rules.phase3Below) return 3;
    if (phase == 3 && (hp < 400 || this->frame > 3600)) return 4;
    return phase;
}

template <class Base>
void Boss4Body<Base>::SwitchTo(std::int32_t next) {
    BossBody<Base>::SwitchTo(next);
    if (next == 4) this->KillChildren();
}

template <class Base>
void Boss4Body<Base>::TouchShip() {
    if (CharacterPlayer* player = this->gameInfo->GetPlayer()) {
        for (const auto& r : kRects) {
            const Point min{this->x + toFixed(r[0]), this->y + toFixed(r[1])};
            const Point max{this->x + toFixed(r[2]), this->y + toFixed(r[3])};
            if (player->HitTestRect(min, max)) break;
        }
    }
}

template <class Base>
bool Boss4Body<Base>::InsideBody(Fixed16 px, Fixed16 py) {
    for (const auto& r : kRects) {
        if (this->x + toFixed(r[0]) < px && px < this->x + toFixed(r[2]) && this->y + toFixed(r[1]) < py &&
            py < this->y + toFixed(r[3]))
            return true;
    }
    return false;
}

template <class Base>
std::int32_t Boss4Body<Base>::HitByShot(CharacterShot& shot) {
    if (!this->Shootable()) return 0;
    // The body takes a shot first; only one that misses the wings and the hull may find a
    // bubble (they leave from inside the wings, and one shot must not strike both).
    if (!InsideBody(shot.x, shot.y)) return CharacterEnemy::HitByShot(shot);
    return this->HitBody();
}

template <class Base>
void Boss4Body<Base>::NextTarget() {
    // An x is drawn as well, though the body's x only follows the sweep.
    this->targetX = toFixed(100 + playrand::rand() % 280);
    this->targetY = toFixed(50 + playrand::rand() % 200);
    // With the ship high up the body keeps to the top of the field.
    if (this->gameInfo->GetPlayerPosition().y < this->targetY + toFixed(76)) this->targetY = toFixed(70);
}

template <class Base>
void Boss4Body<Base>::StepTargetTimer() {
    if (--targetTimer < 1) {
        targetTimer = 240;
        NextTarget();
    }
}

template <class Base>
void Boss4Body<Base>::Sweep(int accelRightUpTo, int turnLeftAt, int accelLeftDownTo, int turnRightAt) {
    const Fixed16 x = this->x;
    if (direction == 0) {
        if (x <= toFixed(accelRightUpTo)) this->vx += kSweepAccel;
        if (x >= toFixed(turnLeftAt)) direction = 1;
    } else {
        if (x >= toFixed(accelLeftDownTo)) this->vx -= kSweepAccel;
        if (x <= toFixed(turnRightAt)) direction = 0;
    }
    this->x += this->vx;
    this->vx = this->vx * 255 / 256;
    this->vy = (this->targetY - this->y) >> 7;
    this->y += this->vy;
}

template <class Base>
void Boss4Body<Base>::Rows(std::int32_t smallRowWindow, bool leaning) {
    const Fixed16 x = this->x, y = this->y;
    const Point down = this->Unit(kDown);
    if (targetTimer % 23 == 0) {
        // A row of large bullets from all six emitters, the lower ones faster; in the current
        // version's first phase each wing's bullets lean toward the middle by a random angle.
        for (int i = 0; i < kEmitters; ++i) {
            const Fixed16 ex = x + toFixed(kEmitterX[i]), ey = y + toFixed(kEmitterY[i]);
            this->SpawnFlash(ex, ey);
            Point v;
            if (leaning) {
                const int lean = i < 3 ? -75 + playrand::rand() % 51 : 25 + playrand::rand() % 51;
                v = ScaleVector(this->Unit(kDown + lean), 800);
            } else {
                v = ScaleVector(down, 1000 - 100 * (i % 3));
            }
            this->FireBulletLargeA(ex, ey, v.x, v.y);
        }
    }
    if (this->Mode() == 2) return;
    if ((targetTimer - 1) % 4 == 0 && targetTimer % 64 < smallRowWindow) {
        for (int i = 0; i < kEmitters; ++i) {
            const Point v = ScaleVector(down, 500 - 50 * (i % 3));
            this->FireBulletSmallA(x + toFixed(kEmitterX[i]), y + toFixed(kEmitterY[i]), v.x, v.y);
        }
    }
    // Now and then a slow row that hangs in the air.
    if (playrand::rand() % 128 == 0) {
        for (int i = 0; i < kEmitters; ++i) {
            const Point v = ScaleVector(down, 110 - 10 * (i % 3));
            this->FireBulletLargeB(x + toFixed(kEmitterX[i]), y + toFixed(kEmitterY[i]), v.x, v.y);
        }
    }
}

template <class Base>
void Boss4Body<Base>::Phase1() {
    StepTargetTimer();
    Sweep(360, 480, 120, 0);
    Rows(rules.smallRowWindow1, rules.current);
}

template <class Base>
void Boss4Body<Base>::Phase2() {
    StepTargetTimer();
    Sweep(240, 280, 240, 200);
    // Phase 2's large rows fall straight in both versions.
    Rows(rules.smallRowWindow2, false);
    const std::int32_t aimedBelow = this->Mode() == 2 ? rules.aimedBelowLap1 : 180;
    if (targetTimer % 16 != 0 || targetTimer >= aimedBelow) return;
    // An aimed triple from the mouth.
    const Fixed16 gx = this->x, gy = this->y + toFixed(58);
    this->SpawnFlash(gx, gy);
    const Point d = this->AimAtPlayer(gx, gy);
    SinCosTable& table = this->env->sinCos;
    for (int turn : {32, -32}) {
        const Point v = ScaleVector(TurnVector(d, table.cosOf(turn), table.sinOf(turn)), 900);
        this->FireBulletLargeB(gx, gy, v.x, v.y);
    }
    const Point v = ScaleVector(d, 1000);
    this->FireBulletLargeB(gx, gy, v.x, v.y);
}

template <class Base>
void Boss4Body<Base>::LaunchBubble(CharacterEnemy* bubble, Fixed16 bx, Fixed16 by) {
    // Downward, tilted by at most five steps of 64 either way.
    const int a = 64 * (((playrand::rand() % 10) - 5) & 63);
    SinCosTable& table = this->env->sinCos;
    auto* awa = static_cast<CharacterEnemyBoss4Awa*>(bubble);
    awa->SetVelocity((-table.sinOf(a) * kBubbleSpeedX2) >> 1, (table.cosOf(a) * kBubbleSpeedX2) >> 1);
    this->AddChildren(bubble);
    bubble->SetPosition(bx, by);
}

template <class Base>
void Boss4Body<Base>::Phase3() {
    Sweep(240, 280, 240, 200);
    if (this->frame % 60 != 0) return;
    NextTarget();
    ReleaseBubbles();
}

template <class Base>
void Boss4Body<Base>::Phase4() {
    StepTargetTimer();
    Sweep(240, 280, 240, 200);
    if (this->frame < 120 || (targetTimer + 3) % 8 != 0 || targetTimer % 50 >= 40) return;
    // Two counter-rotating radial sprays: the left wing fires along one direction, the right
    // wing along its mirror image, and both step round the circle from volley to volley.
    const std::int32_t turn = 2 * (sprayOffset + targetTimer);
    std::int32_t left = kDown + turn, right = kDown - turn;
    const std::int32_t step = rules.current ? (this->Mode() == 2 ? 3 : 2) : 2;
    const std::int32_t volleys = rules.current ? (16 + step - 1) / step : (this->Mode() == 2 ? 4 : 8);
    const Fixed16 x = this->x, y = this->y;
    for (std::int32_t v = 0; v < volleys; ++v) {
        left += 256 * step;
        right -= 256 * step;
        const Point uLeft = this->Unit(left), uRight = this->Unit(right);
        for (int i = 0; i < kEmitters; ++i) {
            const Fixed16 ex = x + toFixed(kEmitterX[i]), ey = y + toFixed(kEmitterY[i]);
            this->SpawnFlash(ex, ey);
            const Point vel = ScaleVector(i < 3 ? uLeft : uRight, 600);
            this->FireBulletSmallA(ex, ey, vel.x, vel.y);
        }
    }
}

template class Boss4Body<CharacterEnemy>;
template class Boss4Body<CharacterEnemyBoss>;

CharacterEnemyBoss4::CharacterEnemyBoss4(Env* env, Log* log, GameInfo* gameInfo)
    : Boss4Body<CharacterEnemy>(env, log, gameInfo, kOldRules) {}

void CharacterEnemyBoss4::ReleaseBubbles() {
    auto* bubble = new CharacterEnemyBoss4Awa(env, log, gameInfo);
    // The tilt is drawn first, then the point.
    LaunchBubble(bubble, x, y);
    const int p = playrand::rand() % 4;
    bubble->SetPosition(x + toFixed(kBubbleX[p]), y + toFixed(kBubbleY[p]));
}

namespace {
Boss4Rules CurrentRules(GameInfo* gameInfo) {
    const bool secondLap = gameInfo->GetGameMode() == 5;
    return Boss4Rules{secondLap ? 2100 : 1200, secondLap ? 1300 : 1000, secondLap ? 800 : 600, 16, 21, 100, true};
}
}  // namespace

CharacterEnemyBoss4b::CharacterEnemyBoss4b(Env* env, Log* log, GameInfo* gameInfo)
    : Boss4Body<CharacterEnemyBoss>(env, log, gameInfo, CurrentRules(gameInfo)) {
    StartCurrentVersion(gameInfo->GetGameMode() == 5 ? 101.0 : 81.0);
}

void CharacterEnemyBoss4b::ReleaseBubbles() {
    const int firing = playrand::rand() % 4;
    for (int p = 0; p < 4; ++p) {
        auto* bubble = new CharacterEnemyBoss4bAwa(env, log, gameInfo);
        if (p != firing) bubble->SetFireInterval(0);
        LaunchBubble(bubble, x + toFixed(kBubbleX[p]), y + toFixed(kBubbleY[p]));
    }
}

CharacterEnemyBoss4Awa::CharacterEnemyBoss4Awa(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemy(env, log, gameInfo) {
    hitPoints = 7;
    sprite = kBubbleSprite;
}

void CharacterEnemyBoss4Awa::SetVelocity(Fixed16 nvx, Fixed16 nvy) {
    vx = nvx;
    vy = nvy;
}

void CharacterEnemyBoss4Awa::Act() {
    // No test of the alive flag: a bubble shot down, or removed as phase 4 begins, still moves,
    // shows and fires once more before its parent deletes it, as every other character does.
    sprite = kBubbleSprite + ((frame >> 2) & 3);
    CharacterEnemy::Act();
    x += vx;
    y += vy;
    if (frame >= kLifeFrames) {
        alive = false;
        return;
    }
    if (!FiresNow()) return;
    // One bullet to each side of its motion.
    const std::int32_t sx = WrapMul(-vy, 60), sy = WrapMul(vx, 60);
    FireBulletLargeA(x, y, sx, sy);
    FireBulletLargeA(x, y, -sx, -sy);
}

bool CharacterEnemyBoss4Awa::FiresNow() {
    switch (VersionMode()) {
    case 2: return frame % 16 == 0;
    case 3: return frame % 8 == 0;
    default: return true;
    }
}

std::int32_t CharacterEnemyBoss4Awa::HitByShot(CharacterShot& shot) { return HitWithin(shot, 256); }

void CharacterEnemyBoss4Awa::Die() {
    Explode(x, y);
    for (int i = 0; i < 3; ++i) DropScoreItem(x, y);
}

CharacterEnemyBoss4bAwa::CharacterEnemyBoss4bAwa(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss4Awa(env, log, gameInfo), fireInterval(gameInfo->GetGameMode() == 5 ? 8 : 16) {
    versionShift = 2;
}

void CharacterEnemyBoss4bAwa::SetFireInterval(std::int32_t interval) { fireInterval = interval; }

bool CharacterEnemyBoss4bAwa::FiresNow() { return fireInterval > 0 && frame % fireInterval == 0; }
