#include "combat/CharacterScorer.h"
#include "app/Env.h"
#include "app/Log.h"
#include "app/Translation.h"
#include "play/GameInfo.h"
#include "records/GameMode.h"

namespace {
constexpr const char* kGameOver = "-GAME OVER-";
constexpr const char* kAllClear = "-ALL CLEAR-";
// The first laps open the second; the second laps are the whole game.
constexpr const char* kFirstLapCleared =
    N_("オールクリア！　おめでとう。１周目を制覇しました。タイトルから２周目に挑戦できます。");
constexpr const char* kSecondLapCleared = N_("オールクリア！　おめでとう。全ステージを制覇しました。見事な腕前です。");
}  // namespace

CharacterScorer::CharacterScorer(Env* env, Log* log, GameInfo* gameInfo)
    : Character(env, log), gameInfo(gameInfo), rankLine(env, log), gameOverLine(env, log) {
    rankLine.SetPosition(toFixed(100), toFixed(200));
    gameOverLine.SetPosition(toFixed(100), toFixed(240));
    // Made once, in the frame the play is seen to be over: a lap is cleared when its last stage
    // was, whatever lives are left, by a play that went through it (not one that jumped stages
    // or a practice).
    allClear = gameInfo->GetStage() > lastStageOf(gameInfo->GetGameMode()) && !gameInfo->GetFlag(FlagStageSelected);
}

const char* CharacterScorer::CongratulationOf(std::int32_t gameMode) {
    return lastStageOf(gameMode) >= 5 ? kSecondLapCleared : kFirstLapCleared;
}

const char* CharacterScorer::RankText(std::int32_t tally) {
    struct Rank {
        std::int32_t upTo;
        const char* text;
    };
    static constexpr Rank kRanks[] = {
        {400, N_("Your score rank is ... rank E : paper pilot.")},
        {800, N_("Your score rank is ... rank D : peppter.")},
        {1200, N_("Your score rank is ... rank C : mustard.")},
        {1600, N_("Your score rank is ... rank B : minister.")},
        {2000, N_("Your score rank is ... rank A : master.")},
    };
    for (const Rank& rank : kRanks) {
        if (tally <= rank.upTo) return rank.text;
    }
    return N_("Your score rank is ... rank S : shooter.");
}

void CharacterScorer::Act() {
    // The current version counts twice as fast but lingers longer on the result.
    const bool current = gameInfo->GetGameMode() == 4 || gameInfo->GetGameMode() == 5;
    const std::int32_t step = current ? 8 : 4;
    tally += step;
    const std::int32_t count = gameInfo->GetItemCount();
    // As written in the original language; the English catalogue mends its spelling and spacing.
    if (tally <= count) rankLine.SetText(tr(RankText(tally)));
    if (tally >= count + 480 && gameOverLine.text().empty()) {
        gameOverLine.SetText(allClear ? kAllClear : kGameOver);
        LOG_WRITE(log, "CharacterScorer", std::string("終了表示　") + gameOverLine.text());
    }
    if (tally > count + (current ? 3840 : 1200)) gameInfo->SetFlag(FlagLeavePlay, true);
    rankLine.UpdateTree();
    gameOverLine.UpdateTree();
    // The congratulation comes with the closing line, in the player's language, in a box under it.
    if (allClear && !gameOverLine.text().empty())
        env->draw.DrawTextBox(toFixed(60), toFixed(264), toFixed(420), toFixed(340),
                              tr(CongratulationOf(gameInfo->GetGameMode())));
}
