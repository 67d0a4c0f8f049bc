#include "combat/CharacterScorer.h"
#include "app/Env.h"
#include "play/GameInfo.h"

CharacterScorer::CharacterScorer(Env* env, Log* log, GameInfo* gameInfo)
    : Character(env, log), gameInfo(gameInfo), rankLine(env, log), gameOverLine(env, log) {
    rankLine.SetPosition(toFixed(100), toFixed(200));
    gameOverLine.SetPosition(toFixed(100), toFixed(240));
}

const char* CharacterScorer::RankText(std::int32_t tally) {
    struct Rank {
        std::int32_t upTo;
        const char* text;
    };
    static constexpr Rank kRanks[] = {
        {400, "Your score rank is ... rank E : paper pilot."},
        {800, "Your score rank is ... rank D : peppter."},
        {1200, "Your score rank is ... rank C : mustard."},
        {1600, "Your score rank is ... rank B : minister."},
        {2000, "Your score rank is ... rank A : master."},
    };
    for (const Rank& rank : kRanks) {
        if (tally <= rank.upTo) return rank.text;
    }
    return "Your score rank is ... rank S : shooter.";
}

void CharacterScorer::Act() {
    // The current version counts twice as fast but lingers longer on the result.
    const bool current = gameInfo->GetGameMode() == 4 || gameInfo->GetGameMode() == 5;
    const std::int32_t step = current ? 8 : 4;
    tally += step;
    const std::int32_t count = gameInfo->GetItemCount();
    if (tally <= count) rankLine.SetText(RankText(tally));
    if (tally >= count + 480) gameOverLine.SetText("-GAME OVER-");
    if (tally > count + (current ? 3840 : 1200)) gameInfo->SetFlag(FlagLeavePlay, true);
    rankLine.UpdateTree();
    gameOverLine.UpdateTree();
}
