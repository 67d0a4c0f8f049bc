#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "character/CharacterString.h"
#include "combat/CharacterScorer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/GameScore.h"
#include "records/GameTitle.h"
#include "support/PlayProbes.h"
#include "support/TestEnv.h"

namespace {
// The texts of the records page of a mode, as its player would read them.
std::vector<std::string> recordsPage(PlayHarness& play, std::int32_t mode) {
    Log log("");
    GameScore page(&play.env(), &log, mode);
    std::vector<std::string> texts;
    for (Character* c : page.pageTexts().GetChildren())
        if (auto* s = dynamic_cast<CharacterString*>(c)) texts.push_back(s->text());
    return texts;
}

bool contains(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}
}  // namespace

// Clearing a stage is what its boss does; here the stage-cleared flag is raised by hand, so that
// the rule is seen whatever stages this build has.
TEST(LapEnding, ALapEndsWithTheScorerAfterItsLastStageAndCountsAsCleared) {
    struct Case {
        std::int32_t mode;
        std::int32_t lastStage;
    };
    for (const Case c : {Case{2, 4}, Case{4, 4}, Case{3, 5}, Case{5, 5}}) {
        SCOPED_TRACE(c.mode);
        TempWorkDir dir;
        PlayHarness play(c.mode, false);
        play.run(30);
        play.info().SetStage(c.lastStage);
        play.run(2);
        EXPECT_FALSE(play.info().GetFlag(FlagScorerCreated)) << "the last stage itself is still played";
        play.info().SetFlag(FlagStageCleared, true);
        play.step();
        EXPECT_EQ(play.stage(), c.lastStage + 1);
        EXPECT_EQ(ScorersIn(play.game().layer(7)), 1u);
        ASSERT_TRUE(play.runUntilEnd(4000)) << "the scorer closes the play";
        EXPECT_GT(play.lives(), 0);

        auto* title = dynamic_cast<GameTitle*>(play.nextScene());
        ASSERT_NE(title, nullptr);
        const bool firstLap = c.lastStage == 4;
        EXPECT_EQ(play.env().save.shortCourseCleared, firstLap);
        EXPECT_EQ(play.env().save.fullCourseCleared, !firstLap);
        // A cleared first lap unlocks the second lap's four entries on the title (beside the six
        // "options" and "practice").
        EXPECT_EQ(title->menu().itemCount(), firstLap ? 12u : 8u);
        EXPECT_TRUE(contains(recordsPage(play, c.mode), "STAGE:ALL"));
    }
}

TEST(LapEnding, TheSecondLapGoesOnPastStageFour) {
    for (std::int32_t mode : {3, 5}) {
        SCOPED_TRACE(mode);
        TempWorkDir dir;
        PlayHarness play(mode, false);
        play.run(30);
        play.info().SetStage(4);
        play.info().SetFlag(FlagStageCleared, true);
        play.step();
        EXPECT_EQ(play.stage(), 5);
        play.run(60);
        EXPECT_FALSE(play.info().GetFlag(FlagScorerCreated));
        EXPECT_EQ(ScorersIn(play.game().layer(7)), 0u);
        ASSERT_NE(play.game().stage(), nullptr) << "stage 5 is played";
        play.info().SetFlag(FlagLeavePlay, true);
        ASSERT_TRUE(play.runUntilEnd(2));
        EXPECT_FALSE(play.env().save.fullCourseCleared);
        EXPECT_FALSE(play.env().save.shortCourseCleared) << "stage 4 is not the end of the second lap";
        const std::vector<std::string> page = recordsPage(play, mode);
        EXPECT_TRUE(contains(page, "STAGE:  5"));
        EXPECT_FALSE(contains(page, "STAGE:ALL"));
    }
}

TEST(LapEnding, AStageWithoutAScriptEndsThePlayWhereItStands) {
    TempWorkDir dir;
    // A mode outside the five has no stages at all: the play ends at once instead of idling.
    PlayHarness play(6, false);
    play.run(3);
    EXPECT_TRUE(play.info().GetFlag(FlagScorerCreated));
    ASSERT_TRUE(play.runUntilEnd(2000));
    EXPECT_EQ(play.stage(), 1);
    EXPECT_EQ(play.lives(), 3);
}
