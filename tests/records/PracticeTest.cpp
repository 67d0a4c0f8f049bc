// Practice from the title: the stages a mode's plays have reached, a play from the chosen stage
// marked on the screen, and nothing of it kept.
#include <gtest/gtest.h>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include "SceneFixture.h"
#include "app/Env.h"
#include "character/CharacterString.h"
#include "combat/CharacterScorer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GamePractice.h"
#include "records/GameTitle.h"
#include "records/StageProgress.h"
#include "support/TestEnv.h"

namespace {
class PracticeTest : public SceneFixture {
protected:
    PracticeTest() : env(std::make_unique<Env>(platform, log.get(), EnvOptions{false, &clock, true, false})) {}
    ~PracticeTest() override { env.reset(); }

    static std::vector<std::string> entries(CharacterMenu& menu) {
        std::vector<std::string> out;
        for (Character* c : menu.GetChildren())
            if (auto* s = dynamic_cast<CharacterString*>(c)) out.push_back(s->text());
        return out;
    }
    void noteProgress(std::int32_t mode, std::int32_t stage) {
        StageProgress progress(StageProgress::defaultPath(), log.get());
        progress.Read();
        progress.note(mode, stage);
        ASSERT_TRUE(progress.Write());
    }

    StillClock clock;
    std::unique_ptr<Env> env;
};
}  // namespace

TEST_F(PracticeTest, ProgressKeepsTheFurthestStageOfEachModeWithinItsLap) {
    StageProgress progress(StageProgress::defaultPath(), log.get());
    progress.Read();
    EXPECT_EQ(progress.reached(ModeFirstLap), 1) << "stage 1 is always there";
    EXPECT_TRUE(progress.note(ModeFirstLap, 3));
    EXPECT_FALSE(progress.note(ModeFirstLap, 2)) << "a shorter play takes nothing away";
    EXPECT_TRUE(progress.note(ModeSecondLap, 6)) << "a cleared lap counts as its last stage";
    EXPECT_FALSE(progress.note(9, 3));
    ASSERT_TRUE(progress.Write());

    // A line that is not "MODE STAGE" is skipped, and the others still read.
    const std::vector<unsigned char> written = readFile(StageProgress::defaultPath());
    writeText(StageProgress::defaultPath(), std::string(written.begin(), written.end()) + "garbage\n2 99\n");
    StageProgress read(StageProgress::defaultPath(), log.get());
    read.Read();
    EXPECT_EQ(read.reached(ModeFirstLap), 3);
    EXPECT_EQ(read.reached(ModeSecondLap), 5);
    EXPECT_EQ(read.reached(ModeFirstLapOld), 4) << "never past the lap's last stage";
    EXPECT_EQ(read.reached(ModeSecondLapOld), 1);

    // Plays kept from before the progress file existed open their stages too.
    Score old(log.get());
    old.setHeader({replayVersionOf(ModeSecondLapOld), ModeSecondLapOld, 10, 4, 0, 1, 1000, 600});
    ASSERT_TRUE(old.save(bestPlayFileOf(ModeSecondLapOld)));
    EXPECT_EQ(read.reached(ModeSecondLapOld), 4);
}

TEST_F(PracticeTest, ThePageOffersEveryReachedStageOfTheLapsThePlayerHas) {
    GameTitle title(env.get(), log.get());
    frame(title);  // loads, and forgets what was pressed while it did
    title.setCursor(GameTitle::kPracticeEntry);
    EXPECT_EQ(title.menu().GetCurrent(), GameTitle::kPracticeEntry);
    EXPECT_NE(dynamic_cast<GamePractice*>(frame(title, {InputDevices::KeyZ}).get()), nullptr)
        << "\"practice\" on the title opens the page";

    GamePractice fresh(env.get(), log.get());
    EXPECT_EQ(entries(fresh.menu()),
              (std::vector<std::string>{"1st lap  stage 1", "1st lap [old]  stage 1", "back"}));

    noteProgress(ModeFirstLap, 3);
    noteProgress(ModeSecondLap, 2);
    GamePractice locked(env.get(), log.get());
    EXPECT_EQ(entries(locked.menu()), (std::vector<std::string>{"1st lap  stage 1", "1st lap  stage 2",
                                                                "1st lap  stage 3", "1st lap [old]  stage 1", "back"}))
        << "the second lap waits for the first to be cleared, as on the title";
    env->save.shortCourseCleared = true;
    GamePractice unlocked(env.get(), log.get());
    EXPECT_EQ(entries(unlocked.menu()).front(), "2nd lap  stage 1");
    EXPECT_EQ(entries(unlocked.menu()).size(), 8u);

    // "back" (or Button2) returns to the title with its cursor on "practice".
    frame(unlocked);
    unlocked.menu().SetCurrent(GamePractice::kBack);
    std::unique_ptr<Game> back = frame(unlocked, {InputDevices::KeyZ});
    auto* again = dynamic_cast<GameTitle*>(back.get());
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->menu().GetCurrent(), GameTitle::kPracticeEntry);
}

// A practice play starts at its stage, says so on the screen, and leaves no record, no last or
// best play, no progress and no unlock, even when it clears the lap; its ending is no lap clear.
TEST_F(PracticeTest, APracticePlayStartsAtItsStageAndIsNeverKept) {
    noteProgress(ModeFirstLap, 4);
    const std::vector<unsigned char> progressBefore = readFile(StageProgress::defaultPath());
    GamePractice page(env.get(), log.get());
    frame(page);
    page.menu().SetCurrent(GamePractice::entryId(ModeFirstLap, 4));
    std::unique_ptr<Game> next = frame(page, {InputDevices::KeyZ});
    auto* play = dynamic_cast<GameMain*>(next.get());
    ASSERT_NE(play, nullptr);
    EXPECT_TRUE(play->practice());
    EXPECT_EQ(play->info().GetGameMode(), ModeFirstLap);
    for (int i = 0; i < 30; ++i) frame(*play, {InputDevices::KeyZ});
    EXPECT_EQ(play->info().GetStage(), 4);
    ASSERT_NE(play->stage(), nullptr);

    // The lap's last stage cleared: the scorer closes it, as "-GAME OVER-".
    play->info().SetFlag(FlagStageCleared, true);
    CharacterScorer* scorer = nullptr;
    std::unique_ptr<Game> after;
    for (int i = 0; i < 5000 && !after; ++i) {
        after = frame(*play);
        for (Character* c : play->layer(7).GetChildren())
            if (auto* s = dynamic_cast<CharacterScorer*>(c)) scorer = s;
        if (scorer && !scorer->gameOverLine.text().empty()) EXPECT_EQ(scorer->gameOverLine.text(), "-GAME OVER-");
    }
    ASSERT_NE(scorer, nullptr);
    auto* title = dynamic_cast<GameTitle*>(after.get());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->menu().GetCurrent(), GameTitle::kPracticeEntry);
    EXPECT_FALSE(std::filesystem::exists(lastPlayFileOf(ModeFirstLap)));
    EXPECT_FALSE(std::filesystem::exists(bestPlayFileOf(ModeFirstLap)));
    EXPECT_FALSE(env->save.shortCourseCleared);
    EXPECT_EQ(readFile(StageProgress::defaultPath()), progressBefore);
}
