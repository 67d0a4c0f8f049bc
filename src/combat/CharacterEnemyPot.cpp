#include "combat/CharacterEnemyPot.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "play/GameInfo.h"

CharacterEnemyPot::CharacterEnemyPot(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyPot(env, log, gameInfo, 0) {}

CharacterEnemyPot::CharacterEnemyPot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = 1;
    sprite = 0x230;
}

CharacterEnemyPotb::CharacterEnemyPotb(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyPot(env, log, gameInfo, 2) {}

std::int32_t CharacterEnemyPot::HitByShot(CharacterShot& shot) { return HitWithin(shot, 900); }

void CharacterEnemyPot::Die() {
    Explode(x, y);
    DropScoreItem(x, y);
}

void CharacterEnemyPot::Act() {
    Draw& draw = env->draw;
    ++frame;
    const Point drift = gameInfo->GetMarkPosition();
    x += drift.x;
    y += drift.y;
    if (frame <= 31) {  // rising out of the ground
        draw.DrawSprite(x, y, 0x230 + frame / 8);
        return;
    }
    if (frame > 576) {  // sinking back
        draw.DrawSprite(x, y, 0x230 + (608 - frame) / 8);
        if (frame == 606) alive = false;
        return;
    }
    // Charges in the second half of every 128-frame cycle; the old lap's first pass never does.
    if (frame & 64) {
        if (VersionMode() == 2) charge += 2;
        if (VersionMode() == 3) charge += 3;
    }
    if ((frame & 63) == 0) {
        const Point player = gameInfo->GetPlayerPosition();
        targetX = player.x;
        targetY = player.y;
    }
    static constexpr int kHeadOffset[4] = {32, 30, 28, 30};
    const int b = (frame >> 4) & 3;
    const Fixed16 headY = y - toFixed(kHeadOffset[b]);
    draw.DrawSprite(x, y, 0x234 + b);
    draw.DrawSprite(x, headY, 0x238 + charge / 16);
    if (charge > 0) --charge;
    if (charge > 55) {
        charge -= 20;
        const Point v = ScaleVector(direction(WrapSub(targetX, x), WrapSub(targetY, headY)), 500);
        FireBulletSmallA(x, headY, v.x, v.y);
    }
}
