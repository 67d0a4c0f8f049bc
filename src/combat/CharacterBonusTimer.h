#pragma once
#include <cstdint>
#include "character/Character.h"

// The countdown shown during the current version's boss fights. The boss stops it when it dies;
// what is left decides how many items the boss scatters. The display stays 180 frames after.
class CharacterBonusTimer : public Character {
public:
    CharacterBonusTimer(Env* env, Log* log, double start, double decrement);
    ~CharacterBonusTimer() override;
    void Act() override;
    // Freezes the countdown and returns the value left.
    double Stop();

    std::int32_t state = -1;  // -1 counting down; from 0 up, frames since it was stopped
    double value;
    double decrement;
    // The boss that started the timer keeps a pointer to it, but the timer lives in the top layer
    // and may be deleted first (it leaves by itself after being stopped; a stage select clears
    // the layer). The timer clears that pointer when it goes, so it is never left dangling.
    CharacterBonusTimer** holder = nullptr;
};
