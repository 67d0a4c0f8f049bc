#include "combat/CharacterPlayer.h"
#include <algorithm>
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"

namespace {
constexpr std::int32_t kShipShotSprite = 0x118;
constexpr std::int32_t kPodShotSprite = 0x110;
constexpr std::int32_t kShotHitFactor = 8;
// 0.70700 pixel in Fixed16: one step of a diagonal per unit of speed.
constexpr std::int32_t kDiagonal = 46334;
constexpr std::int32_t kLeashSquared = 57600;  // 240 pixels
constexpr std::int32_t kInvulnerableFrames = 180;
constexpr std::int32_t kChargeFrames = 60;
constexpr std::int32_t kExtendItems = 500;
}  // namespace

CharacterPlayer::CharacterPlayer(Env* env, Log* log, GameInfo* gameInfo) : Character(env, log), gameInfo(gameInfo) {}

void CharacterPlayer::SetPosition(Fixed16 nx, Fixed16 ny) {
    Character::SetPosition(nx, ny);
    podX = nx;
    podY = ny;
}

void CharacterPlayer::Act() {
    // A ship without lives neither moves, fires nor draws.
    if (lives < 1) return;
    ++frameCounter;
    MovePod();
    Move();
    HandleButton1();
    --shotCooldown;
    HandleButton2();
    ChargeStock();
    DrawShip();
    if (gameInfo->GetItemCount() >= kExtendItems && !extended) {
        extended = true;
        ++lives;
        env->sound.play(Extend, false);
    }
}

void CharacterPlayer::MovePod() {
    // Uses the ship's position from before this frame's move.
    if (podFormation == PodFront) {
        podX += (x - podX) >> 3;
        podY += (y - toFixed(30) - podY) >> 3;
    } else if (!env->input.isDown(Button1)) {
        podX += (x - podX) >> 3;
        podY += (y - podY) >> 3;
    } else if (squaredDistance(podX, podY, x, y) > kLeashSquared) {
        // While firing the pod hangs on a 240-pixel leash behind the ship.
        const Point u = direction(x - podX, y - podY);
        podX += ((x - podX) - 240 * u.x) >> 5;
        podY += ((y - podY) - 240 * u.y) >> 5;
    }
}

void CharacterPlayer::Move() {
    Input& in = env->input;
    const Fixed16 d = speed * kDiagonal;
    const Fixed16 step = toFixed(speed);
    // The first case that matches wins, so opposite buttons resolve to Right and Down.
    if (in.isDown(Right) && in.isDown(Down)) {
        x += d;
        y += d;
    } else if (in.isDown(Down) && in.isDown(Left)) {
        x -= d;
        y += d;
    } else if (in.isDown(Left) && in.isDown(Up)) {
        x -= d;
        y -= d;
    } else if (in.isDown(Up) && in.isDown(Right)) {
        x += d;
        y -= d;
    } else if (in.isDown(Right)) {
        x += step;
    } else if (in.isDown(Down)) {
        y += step;
    } else if (in.isDown(Left)) {
        x -= step;
    } else if (in.isDown(Up)) {
        y -= step;
    }
    x = std::clamp(x, toFixed(16), toFixed(464));
    y = std::clamp(y, toFixed(16), toFixed(584));
}

void CharacterPlayer::HandleButton1() {
    Input& in = env->input;
    if (in.takePress(Button1)) {
        // A quick second tap (short hold, a shot fired moments ago) switches the pod formation.
        if (shotCooldown > -10 && button1Held < 10) {
            podFormation = podFormation == PodTrailing ? PodFront : PodTrailing;
            env->sound.play(Click, false);
        }
        button1Held = 0;
    }
    if (in.isDown(Button1)) {
        ++button1Held;
        if (shotCooldown <= 0) {
            FireMain(3072, 16);
            shotCooldown = 5;
            env->sound.play(Shot, false);
            FirePod(12);
        }
    }
}

void CharacterPlayer::HandleButton2() {
    Input& in = env->input;
    if (in.isDown(Button2)) {
        if (button2Held == 0) env->sound.play(Charge, false);
        ++button2Held;
        if (button2Held >= kChargeFrames) {
            // Large bullets only without a stock; a held stock makes a long hold do nothing.
            if (stock == 0) gameInfo->BeginMode2();
            env->sound.stop(Charge);
        }
        return;
    }
    if (button2Held >= 3 && button2Held <= kChargeFrames && stock > 0 && gameInfo->BeginMode1()) {
        stockAnim = 32;
        --stock;
    }
    button2Held = 0;
    env->sound.stop(Charge);
}

void CharacterPlayer::ChargeStock() {
    if (gameInfo->GetMode() != 2) {
        stockCharge = 0;
        return;
    }
    stockCharge += 5;
    if (stockCharge >= gameInfo->GetMode2Duration()) {
        stockCharge = 0;
        stock = std::min(stock + 1, 1);
        env->sound.stop(Charge);
        stockAnim = -32;
    }
}

void CharacterPlayer::DrawShip() {
    Draw& draw = env->draw;
    for (int i = 0; i <= lives - 2; ++i) draw.DrawSprite(toFixed(10 + 20 * i), toFixed(10), 0x101);
    for (int i = 0; i <= stock - 1; ++i) draw.DrawSprite(toFixed(10 + 20 * i), toFixed(30), 0x102);
    if (invulnerable <= 0) {
        draw.DrawSprite(x, y, 0x100);
    } else {
        --invulnerable;
        if ((invulnerable & 3) < 2) draw.DrawSprite(x, y, 0x100);  // blinks two on, two off
    }
    draw.DrawSprite(podX, podY, podFormation == PodTrailing ? 0x103 : 0x104);
    if (stockAnim > 0) {
        draw.DrawSprite(x, y, 0x120 + ((32 - stockAnim) >> 3));
        --stockAnim;
    } else if (stockAnim < 0) {
        draw.DrawSprite(x, y, 0x120 + ((-stockAnim) >> 3));
        ++stockAnim;
    }
    if (stock != 0) draw.DrawSprite(x, y, 0x128 + ((frameCounter >> 2) % 4));
}

void CharacterPlayer::Die() {
    AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectExplosion), x, y);
    --lives;
    invulnerable = kInvulnerableFrames;
    env->sound.play(Burst2, false);
    gameInfo->SetFlag(FlagLifeLost, true);
    gameInfo->EraseEnemyShots();
}

bool CharacterPlayer::HitTestCircle(Point centre, std::int32_t radiusSquared) {
    if (invulnerable > 0) return false;
    if (squaredDistance(x, y, centre.x, centre.y) >= radiusSquared) return false;
    Die();
    return true;
}

bool CharacterPlayer::HitTestRect(Point min, Point max) {
    if (invulnerable > 0) return false;
    if (!(min.x < x && x < max.x && min.y < y && y < max.y)) return false;
    Die();
    return true;
}

std::int32_t CharacterPlayer::GetLives() { return lives; }

void CharacterPlayer::SetLives(std::int32_t n) { lives = n; }

std::int32_t CharacterPlayer::GetStock() { return stock; }

void CharacterPlayer::FireMain(std::int32_t angle, std::int32_t shotSpeed) {
    const Fixed16 vx = env->sinCos.cosOf(angle & 4095) * shotSpeed;
    const Fixed16 vy = env->sinCos.sinOf(angle & 4095) * shotSpeed;
    for (const int side : {8, -8}) {
        auto* shot = AttachAt(gameInfo->GetPlayerShotTree(),
                              new CharacterShotPlayer(env, log, gameInfo, kShipShotSprite, kShotHitFactor, 1),
                              x + toFixed(side), y - toFixed(4));
        if (shot) shot->SetVelocity(vx, vy);
    }
}

void CharacterPlayer::FirePod(std::int32_t shotSpeed) {
    auto* shot = AttachAt(gameInfo->GetPlayerShotTree(),
                          new CharacterShotPlayer(env, log, gameInfo, kPodShotSprite, kShotHitFactor, 1), podX, podY);
    if (!shot) return;
    // The pod always shoots away from the ship; straight up when it sits on the ship.
    if (squaredDistance(x, y, podX, podY) < 4) {
        shot->SetVelocity(0, -toFixed(shotSpeed));
    } else {
        const Point u = direction(podX - x, podY - y);
        shot->SetVelocity(u.x * shotSpeed, u.y * shotSpeed);
    }
}
