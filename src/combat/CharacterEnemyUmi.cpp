#include "combat/CharacterEnemyUmi.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "play/GameInfo.h"

CharacterEnemyUmi::CharacterEnemyUmi(Env* env, Log* log, GameInfo* gameInfo) : CharacterEnemyUmi(env, log, gameInfo, 0) {}

CharacterEnemyUmi::CharacterEnemyUmi(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = 4;
    sprite = 0x240;
}

CharacterEnemyUmib::CharacterEnemyUmib(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyUmi(env, log, gameInfo, 2) {}

void CharacterEnemyUmi::SetDirection(std::int32_t d) { direction = d; }

std::int32_t CharacterEnemyUmi::HitByShot(CharacterShot& shot) { return HitWithin(shot, 625); }

void CharacterEnemyUmi::Die() {
    Explode(x, y);
    DropScoreItem(x, y);
}

void CharacterEnemyUmi::Act() {
    CharacterEnemy::Act();
    Point v;
    if (frame <= 600) {
        // Two pixels a frame round a circle run once in 256 frames.
        const int angle = ((frame + 64) & 255) * 16;
        v = ScaleVector(Unit(angle), 2 * direction);
        sprite = 0x240 + (frame % 128) / 16;
    } else {
        v = ScaleVector(Unit(2560), 2 * direction);
        sprite = 0x245;
    }
    x += v.x;
    y += v.y;
    if (frame > 779) alive = false;
    const int period = VersionMode() == 2 ? 15 : 6;
    if (frame % period == 0) {
        const Point fire = ScaleVector(v, 400);
        FireBulletSmallA(x + 8 * v.x, y + 8 * v.y, fire.x, fire.y);
    }
}
