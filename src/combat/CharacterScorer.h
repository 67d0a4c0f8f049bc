#pragma once
#include <cstdint>
#include "character/Character.h"
#include "character/CharacterString.h"

class GameInfo;

// The end-of-play display: counts a tally up to the item count, naming the rank it passes, then
// shows "-GAME OVER-" and finally sets the flag that leaves the play.
class CharacterScorer : public Character {
public:
    CharacterScorer(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;

    // The rank line for a tally.
    static const char* RankText(std::int32_t tally);

    GameInfo* gameInfo;
    CharacterString rankLine;
    CharacterString gameOverLine;
    std::int32_t tally = 0;
};
