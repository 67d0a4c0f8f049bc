#include "combat/CharacterShotBorn.h"
#include "app/Env.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "play/GameInfo.h"

CharacterShotBorn::CharacterShotBorn(Env* env, Log* log, GameInfo* gameInfo, std::int32_t angle,
                                     std::int32_t speed, std::int32_t count)
    : CharacterEnemy(env, log, gameInfo), angle(angle), speed(speed), count(count) {}

void CharacterShotBorn::Act() {
    ++frame;
    if (frame == 1) AttachAt(gameInfo->GetTopTree(), new CharacterEffect(env, log, EffectSlowFlash), x, y);
    if (frame != 64) return;
    alive = false;
    for (std::int32_t i = 0; i < count; ++i) {
        const int a = WrapAdd(angle, WrapMul(i, 4096) / count) & 4095;
        FireBulletLargeA(x, y, WrapMul(env->sinCos.cosOf(a), speed), WrapMul(env->sinCos.sinOf(a), speed));
    }
}

std::int32_t CharacterShotBorn::HitByShot(CharacterShot&) { return 0; }
