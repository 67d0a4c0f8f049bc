#pragma once
#include <cstdint>
#include "app/Fixed16.h"
#include "character/Character.h"

class GameInfo;

// Something the ship collects by touching it.
class CharacterItem : public Character {
public:
    CharacterItem(Env* env, Log* log, GameInfo* gameInfo);
    // Within 32 pixels of (x, y): the item is taken (alive false) and the result is true.
    virtual bool TryPickUp(Fixed16 px, Fixed16 py);

    GameInfo* gameInfo;
    std::int32_t lifetime = 600;
    std::int32_t pickupRadiusSquared = 1024;
};

// A score item worth 1, 2 or 3, fixed by the bullet size when it was dropped. It is thrown
// towards the ship, slows down and sinks at half a pixel a frame, blinking before it expires.
class CharacterItemScore : public CharacterItem {
public:
    CharacterItemScore(Env* env, Log* log, GameInfo* gameInfo, std::int32_t value);
    void Act() override;
    // Counts the value and leaves a pick-up effect; always answers false.
    bool TryPickUp(Fixed16 px, Fixed16 py) override;
    virtual void SetVelocity(Fixed16 vx, Fixed16 vy);
    virtual void SetAcceleration(Fixed16 ax, Fixed16 ay);

    std::int32_t age = 0;
    Fixed16 vx = 0;
    Fixed16 vy = -43690;
    Fixed16 ax = 0;
    Fixed16 ay = 0;
    std::int32_t value;
};
