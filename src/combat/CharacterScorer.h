#pragma once
#include <cstdint>
#include "character/Character.h"
#include "character/CharacterString.h"

class GameInfo;

// The end-of-play display: counts a tally up to the item count, naming the rank it passes, then
// shows the closing line and finally sets the flag that leaves the play. The closing line is
// "-GAME OVER-", or "-ALL CLEAR-" with a word of congratulation when the play cleared its lap;
// the tally, the rank line and the timing are the same either way.
class CharacterScorer : public Character {
public:
    CharacterScorer(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;

    // The rank line for a tally.
    static const char* RankText(std::int32_t tally);
    // The congratulation shown under "-ALL CLEAR-" for a lap of this game mode (untranslated).
    static const char* CongratulationOf(std::int32_t gameMode);

    GameInfo* gameInfo;
    CharacterString rankLine;
    CharacterString gameOverLine;
    std::int32_t tally = 0;
    // Decided when the scorer is made: the stage number has passed the lap's last stage.
    bool allClear = false;
};
