#include <gtest/gtest.h>
#include <filesystem>
#include <memory>
#include "combat/CharacterPlayer.h"
#include "combat/CharacterScorer.h"
#include "input/InputButton.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "play/Random.h"
#include "records/GameTitle.h"
#include "support/PlayProbes.h"
#include "support/TestEnv.h"

namespace {
constexpr std::uint8_t kFire = PlayHarness::bit(Button1);
constexpr std::uint8_t kPause = PlayHarness::bit(Button3);

// Fire all the time while sweeping across the lower field and back, with a little up and down.
std::uint8_t weave(int frame) {
    std::uint8_t b = kFire;
    b |= ((frame / 80) % 2) ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((frame / 40) % 4 == 1) b |= PlayHarness::bit(Up);
    if ((frame / 40) % 4 == 3) b |= PlayHarness::bit(Down);
    return b;
}

struct PlayResult {
    std::int32_t items, lives, stage, frames;
    std::uint32_t randomState;
    std::vector<PlayHarness::Spawn> spawns;
};

PlayResult weavingPlay(std::int32_t mode, int frames) {
    PlayHarness play(mode, false);
    for (int f = 0; f < frames && !play.ended(); ++f) play.step(weave(f));
    return {play.items(), play.lives(), play.stage(), play.framesRun(), playrand::state(), play.spawns()};
}
}  // namespace

TEST(Play, TheSameInputsGiveTheSamePlay) {
    TempWorkDir dir;
    for (std::int32_t mode : {2, 5}) {
        SCOPED_TRACE(mode);
        const PlayResult a = weavingPlay(mode, 1500);
        // Something else draws random numbers in between: the play must not care.
        playrand::srand(12345);
        for (int i = 0; i < 17; ++i) playrand::rand();
        const PlayResult b = weavingPlay(mode, 1500);
        EXPECT_EQ(a.items, b.items);
        EXPECT_EQ(a.lives, b.lives);
        EXPECT_EQ(a.stage, b.stage);
        EXPECT_EQ(a.randomState, b.randomState);
        EXPECT_EQ(a.spawns, b.spawns);
        EXPECT_GT(a.spawns.size(), 10u);
    }
}

TEST(Play, ThePlayEntriesOfTheTitleStartTheirMode) {
    TempWorkDir dir;
    struct Case {
        int downs;  // from "play 1st lap", the first entry before the second lap is unlocked
        std::int32_t mode;
        std::int32_t entry;
    };
    for (const Case c : {Case{0, 4, 7}, Case{2, 2, 3}, Case{4, 1, 2}}) {
        HeadlessEnv h;
        GameTitle title(&h.env, &h.log);
        title.Run();
        Game* next = nullptr;
        auto press = [&](InputDevices::Key key) {
            h.platform.inputDevices().keys[key] = true;
            next = title.Run();
            h.platform.inputDevices().keys[key] = false;
            if (!next) next = title.Run();
        };
        for (int i = 0; i < c.downs; ++i) press(InputDevices::KeyDown);
        press(InputDevices::KeyZ);
        std::unique_ptr<Game> scene(next);
        auto* play = dynamic_cast<GameMain*>(scene.get());
        ASSERT_NE(play, nullptr) << c.mode;
        EXPECT_EQ(play->info().GetGameMode(), c.mode);
        EXPECT_FALSE(play->info().IsReplay());
        // The finished play comes back to a new title with the cursor on the entry used.
        play->Run();
        play->info().SetFlag(FlagLeavePlay, true);
        std::unique_ptr<Game> after(play->Run());
        auto* back = dynamic_cast<GameTitle*>(after.get());
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->menu().GetCurrent(), c.entry);
    }
}

TEST(Play, AnIdleShipDiesAndTheScorerEndsThePlay) {
    TempWorkDir dir;
    for (std::int32_t mode : {3, 5}) {
        SCOPED_TRACE(mode);
        PlayHarness play(mode, false);
        ASSERT_TRUE(play.runUntilEnd(20000));
        EXPECT_EQ(play.lives(), 0);
        EXPECT_TRUE(play.info().GetFlag(FlagScorerCreated));
        EXPECT_EQ(ScorersIn(play.game().layer(7)), 1u);
        auto* title = dynamic_cast<GameTitle*>(play.nextScene());
        ASSERT_NE(title, nullptr) << "a normal play returns to the title";
    }
}

TEST(Play, AWeavingShipThatFiresDestroysEnemiesAndCollectsItems) {
    TempWorkDir dir;
    for (std::int32_t mode : {2, 4}) {
        SCOPED_TRACE(mode);
        PlayHarness play(mode, true);
        for (int f = 0; f < 1000; ++f) play.step(weave(f));
        EXPECT_GT(play.items(), 0);
        char text[16];
        std::snprintf(text, sizeof text, "x%04d", play.items());
        EXPECT_EQ(play.game().statusItems().text(), text);
        // Items come only from enemies shot down.
        EXPECT_GT(play.lives(), 0);
    }
}

TEST(Play, SpawnedEnemiesFirstActOnTheNextFrame) {
    TempWorkDir dir;
    PlayHarness play(2, false);
    play.step();
    play.game().player().invulnerable = 1 << 20;
    // Stage frame 60 is the 61st frame after the loading frame.
    play.run(61);
    ASSERT_EQ(play.spawns().size(), 1u);
    auto& enemies = play.game().enemyRoot().GetChildren();
    ASSERT_EQ(enemies.size(), 1u);
    auto* pot = dynamic_cast<CharacterEnemy*>(enemies.front());
    ASSERT_NE(pot, nullptr);
    EXPECT_EQ(pot->frame, 0) << "placed after every tree has acted";
    play.step();
    EXPECT_EQ(pot->frame, 1);
}

TEST(Play, PauseFreezesThePlayAndGuardsAgainstReopening) {
    TempWorkDir dir;
    PlayHarness play(4, false);
    play.run(10);
    play.step(kPause);  // the press is counted by this frame's tick and read by the next frame
    play.step();
    EXPECT_TRUE(play.game().paused());
    const std::int32_t clock = play.game().schedule().stageFrame();
    play.run(100);  // nothing advances while paused
    EXPECT_EQ(play.game().schedule().stageFrame(), clock);

    play.step(kFire);  // "return to playing"
    play.step();
    EXPECT_FALSE(play.game().paused());
    // Within 60 frames of closing, Button3 does nothing.
    play.run(20);
    play.step(kPause);
    play.step();
    EXPECT_FALSE(play.game().paused());
    play.run(40);
    play.step(kPause);
    play.step();
    EXPECT_TRUE(play.game().paused());
}

TEST(Play, ReturnToTitleFromThePauseMenuKeepsTheCursor) {
    TempWorkDir dir;
    PlayHarness play(4, false);
    play.game().SetReturnValue(7);
    play.run(5);
    play.step(kPause);
    play.step(PlayHarness::bit(Down));
    play.step();
    play.step(kFire);  // "return to title"
    ASSERT_TRUE(play.runUntilEnd(3));
    auto* title = dynamic_cast<GameTitle*>(play.nextScene());
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->menu().GetCurrent(), 7);
    EXPECT_TRUE(std::filesystem::exists("data/lastplay_1lap_b.rep")) << "an official play is saved";
}

TEST(Play, StageSelectMakesThePlayUnofficial) {
    TempWorkDir dir;
    PlayHarness play(5, false);
    play.run(300, weave(0));
    play.info().SetFlag(42, true);
    play.step(kPause);
    play.step(PlayHarness::bit(Up));  // wraps to "stage select"
    play.step();
    play.step(kFire);
    play.step();
    play.step(kFire);  // "stage1"
    play.step();
    ASSERT_FALSE(play.game().paused());
    EXPECT_TRUE(play.info().GetFlag(FlagStageSelected));
    EXPECT_FALSE(play.info().GetFlag(42)) << "every other flag is cleared";
    EXPECT_EQ(play.stage(), 1);
    EXPECT_EQ(play.lives(), 3);
    EXPECT_EQ(play.items(), 0);
    EXPECT_LT(play.game().schedule().stageFrame(), 5) << "the stage begins again";

    play.info().SetFlag(FlagLeavePlay, true);
    ASSERT_TRUE(play.runUntilEnd(2));
    EXPECT_FALSE(std::filesystem::exists("data/lastplay_2lap_b.rep")) << "an unofficial play is not saved";
}

TEST(Play, TheLastLifeGoingAsAStageIsClearedGivesOneScorer) {
    TempWorkDir dir;
    PlayHarness play(4, false);
    play.run(100);
    // The last life goes in the same frame as the stage is cleared.
    play.info().SetFlag(FlagStageCleared, true);
    play.game().player().SetLives(0);
    play.run(2);
    EXPECT_EQ(play.stage(), 2);
    EXPECT_FALSE(play.info().GetFlag(FlagStageCleared));
    EXPECT_EQ(ScorersIn(play.game().layer(7)), 1u);
    ASSERT_TRUE(play.runUntilEnd(2000));
    EXPECT_EQ(ScorersIn(play.game().layer(7)), 1u);
}

TEST(Play, ARecordedPlayReplaysExactly) {
    TempWorkDir dir;
    PlayHarness recorded(5, false);
    for (int f = 0; f < 900; ++f) recorded.step(weave(f));
    recorded.info().SetFlag(FlagLeavePlay, true);
    ASSERT_TRUE(recorded.runUntilEnd(2));

    PlayHarness replay(5, false);
    replay.game().PlayReplay(recorded.game().record());
    replay.run(900);  // the buttons come from the record; the keyboard stays idle
    EXPECT_EQ(replay.items(), recorded.items());
    EXPECT_EQ(replay.lives(), recorded.lives());
    EXPECT_EQ(replay.spawns(), recorded.spawns());
    EXPECT_GT(recorded.items(), 0);
}

TEST(Play, AReplayOfAnotherVersionIsRefused) {
    TempWorkDir dir;
    PlayHarness play(4, false);
    Log log("");
    Score record(&log);
    ScoreHeader header;
    header.version = 105;  // the old second lap's version, stamped on a mode-4 play
    header.gameMode = 4;
    header.stages = 1;
    record.setHeader(header);
    play.game().PlayReplay(record);
    ASSERT_EQ(play.platform().dialogs().shown.size(), 1u);
    EXPECT_EQ(play.platform().dialogs().shown[0].text,
              "アプリケーションのバージョンが違うため、リプレイを再生できません。");
    EXPECT_EQ(play.platform().dialogs().shown[0].caption, "エラー");
    EXPECT_TRUE(play.runUntilEnd(3));
    EXPECT_FALSE(play.env().input.replaying());
}

TEST(Play, TheModeGaugeFollowsTheTimer) {
    TempWorkDir dir;
    PlayHarness play(4, true);
    play.step();
    play.game().player().invulnerable = 1 << 20;
    play.run(70, PlayHarness::bit(Button2));  // held past 60 frames: large bullets
    ASSERT_EQ(play.info().GetMode(), 2);
    const SpriteDef* bar = play.env().draw.sprite(0x126);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->srcRight, 300 - play.info().GetModeTimer());
    EXPECT_EQ(bar->halfWidth, (300 - play.info().GetModeTimer()) / 2);
}

namespace {
// Pauses, spends a while on the pause menu (and, with options, on the options page: opened with
// Tab, music turned down, closed with Button2), returns to playing, then weaves until the play
// is left; the record of the play.
Score playWithPause(bool options) {
    PlayHarness play(4, false);
    for (int f = 0; f < 200; ++f) play.step(weave(f));
    play.step(kPause);
    play.step();
    // A frame of the pause menu with Tab down or not: the trace holds the same either way.
    auto& keys = play.platform().inputDevices().keys;
    const int tab = play.platform().inputDevices().keyCode("Tab");
    keys[tab] = options;
    play.step();
    keys[tab] = false;
    if (options) {
        play.step();
        EXPECT_TRUE(play.game().optionsOpen());
        play.step(PlayHarness::bit(Left));
        play.step();
        play.step(PlayHarness::bit(Down));
        play.step(kFire);  // on the page: nothing the play can see
        play.step(PlayHarness::bit(Button2));
        play.step();
        EXPECT_FALSE(play.game().optionsOpen());
        EXPECT_TRUE(play.game().paused());
        EXPECT_EQ(play.env().settings.musicVolume, 90);
    }
    play.run(5);
    play.step(kFire);  // "return to playing"
    play.step();
    for (int f = 0; f < 300; ++f) play.step(weave(f));
    play.info().SetFlag(FlagLeavePlay, true);
    EXPECT_TRUE(play.runUntilEnd(2));
    return play.game().record();
}
}  // namespace

TEST(Play, TheOptionsPageInThePauseMenuIsNoPartOfThePlay) {
    TempWorkDir dir;
    Score plain = playWithPause(false);
    Score withOptions = playWithPause(true);
    // The same trace, frame for frame, as if the page had never been open.
    EXPECT_EQ(withOptions.trace(0), plain.trace(0));
    EXPECT_EQ(withOptions.getHeader().frames, plain.getHeader().frames);
    EXPECT_EQ(withOptions.getScore(), plain.getScore());
}
