#pragma once
#include <cstdint>
#include "character/Character.h"

class GameInfo;

// Drifting scenery (islands): moves with the play's drift vector until it leaves -32..632 px
// sideways or sinks below the field.
class CharacterShima : public Character {
public:
    CharacterShima(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    virtual void SetSprite(std::int32_t id);

    std::int32_t sprite = 0x420;
    GameInfo* gameInfo;
};
