#include "combat/CharacterBonusTimer.h"
#include "app/Env.h"

CharacterBonusTimer::CharacterBonusTimer(Env* env, Log* log, double start, double decrement)
    : Character(env, log), value(start), decrement(decrement) {
    x = toFixed(106);
    y = toFixed(16);
}

CharacterBonusTimer::~CharacterBonusTimer() {
    if (holder != nullptr) *holder = nullptr;
}

void CharacterBonusTimer::Act() {
    env->draw.DrawSprite(x, y, 0x13B);
    // Only the last three digits show.
    auto n = static_cast<std::int64_t>(value);
    for (int i = 0; i < 3; ++i) {
        env->draw.DrawSprite(x + toFixed(118 - 32 * i), y, 0x130 + static_cast<std::int32_t>(n % 10));
        n /= 10;
    }
    if (state < 0) {
        value -= decrement;
        if (value < 0) value = 0;
    } else if (++state > 180) {
        alive = false;
    }
}

double CharacterBonusTimer::Stop() {
    state = 0;
    return value;
}
