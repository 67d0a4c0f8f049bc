#pragma once
#include <cstdint>
#include "character/Character.h"

// The countdown shown during the current version's boss fights. The boss stops it when it dies;
// what is left decides how many items the boss scatters. The display stays 180 frames after.
class CharacterBonusTimer : public Character {
public:
    CharacterBonusTimer(Env* env, Log* log, double start, double decrement);
    void Act() override;
    // Freezes the countdown and returns the value left.
    double Stop();

    std::int32_t state = -1;  // -1 counting down; from 0 up, frames since it was stopped
    double value;
    double decrement;
};
