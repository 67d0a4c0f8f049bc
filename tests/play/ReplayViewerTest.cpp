// A replay studied by its watcher: paused, stepped and run at every pace, it must show exactly
// the play that was recorded, and its caption must stay off the HUD and name the player's keys.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "app/Env.h"
#include "input/Input.h"
#include "input/InputButton.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "play/Random.h"
#include "play/ReplayViewer.h"
#include "support/TestEnv.h"

namespace {
constexpr std::uint8_t kFire = PlayHarness::bit(Button1);

std::uint8_t weave(int frame) {
    std::uint8_t b = kFire;
    b |= ((frame / 80) % 2) ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((frame / 40) % 4 == 1) b |= PlayHarness::bit(Up);
    if (frame % 300 > 200 && frame % 300 < 270) b |= PlayHarness::bit(Button2);  // large, then a stock
    if (frame % 300 == 280) b |= PlayHarness::bit(Button2);                     // spent: small
    return b;
}

struct Seen {
    std::int32_t items, lives, stage;
    std::uint32_t randomState;
    std::vector<PlayHarness::Spawn> spawns;
    friend bool operator==(const Seen&, const Seen&) = default;
};
Seen seen(PlayHarness& play) { return {play.items(), play.lives(), play.stage(), playrand::state(), play.spawns()}; }

// The watcher's keys for one frame of a replay (a press is one frame down, then up again).
struct Press {
    int atFrame;
    std::uint8_t buttons;
};
}  // namespace

TEST(ReplayViewer, PausingSteppingAndEveryPaceShowExactlyTheRecordedPlay) {
    TempWorkDir dir;
    constexpr int kFrames = 1500;
    PlayHarness recorded(5, false);
    for (int f = 0; f < kFrames; ++f) recorded.step(weave(f));
    recorded.info().SetFlag(FlagLeavePlay, true);
    ASSERT_TRUE(recorded.runUntilEnd(2));

    PlayHarness plain(5, false);
    plain.game().PlayReplay(recorded.game().record());
    ASSERT_TRUE(plain.runUntilEnd(5000));
    ASSERT_EQ(plain.items(), recorded.items());
    ASSERT_GT(recorded.items(), 0);

    // The same replay, studied: paused for a while, stepped a frame at a time, slowed, sped up
    // and fast-forwarded. Held frames do not count towards the play's frames.
    PlayHarness studied(5, false);
    studied.game().PlayReplay(recorded.game().record());
    GameMain& game = studied.game();
    const std::uint8_t pause = PlayHarness::bit(Button1), step = PlayHarness::bit(Down);
    const std::uint8_t slower = PlayHarness::bit(Left), faster = PlayHarness::bit(Right);
    const std::uint8_t fast = PlayHarness::bit(Button2);
    int shown = 0;  // frames of the play that ran
    auto watch = [&](std::uint8_t keys) {
        ASSERT_FALSE(studied.ended()) << "after " << shown << " frames shown";
        const std::int32_t before = game.playFrames();
        studied.step(keys);
        shown += game.playFrames() - before;
    };
    for (int i = 0; i < 400 && shown < 200; ++i) watch(0);
    ASSERT_EQ(shown, 200);
    watch(pause);
    ASSERT_TRUE(game.replayViewer().paused());
    const Seen atPause = seen(studied);
    const std::int32_t framesAtPause = game.playFrames();
    for (int i = 0; i < 120; ++i) watch(i % 2 ? 0 : slower);  // the pace changes while held
    EXPECT_EQ(seen(studied), atPause) << "a paused replay stands still";
    EXPECT_EQ(game.playFrames(), framesAtPause);
    EXPECT_EQ(studied.env().timer.targetFps(), 60) << "a held picture answers at the normal pace";
    EXPECT_EQ(game.replayViewer().speed(), 0);
    for (int i = 0; i < 5; ++i) {
        watch(step);
        watch(0);
        watch(0);
    }
    EXPECT_EQ(game.playFrames(), framesAtPause + 5) << "one frame per step, none while held";
    watch(pause);
    ASSERT_FALSE(game.replayViewer().paused());
    watch(0);
    EXPECT_EQ(studied.env().timer.targetFps(), 15) << "x1/4";
    for (int i = 0; i < 4; ++i) {
        watch(faster);
        watch(0);
    }
    EXPECT_EQ(studied.env().timer.targetFps(), 240) << "x4, the fastest";
    watch(faster);
    EXPECT_EQ(game.replayViewer().speed(), ReplayViewer::kSpeedCount - 1);
    for (int i = 0; i < 2000 && shown < 900; ++i) watch(fast);
    ASSERT_FALSE(game.replayViewer().paused());
    // To its end, where the plain one ended.
    ASSERT_TRUE(studied.runUntilEnd(5000));
    EXPECT_EQ(seen(studied), seen(plain)) << "the studied replay is the plain one";
    EXPECT_EQ(game.playFrames(), plain.game().playFrames()) << "held frames are not the play's";
}

TEST(ReplayViewer, TheCaptionNamesTheKeysAndKeepsOffTheHud) {
    TempWorkDir dir;
    PlayHarness play(4, false);
    Input& input = play.env().input;
    // The default keys, then the player's own.
    std::string line = ReplayViewer::Caption(ReplayViewer::kNormalSpeed, false, input);
    EXPECT_EQ(line.rfind("REPLAY x1  C:exit  Z:pause  ", 0), 0u) << line;
    EXPECT_NE(line.find(":speed"), std::string::npos) << line;
    input.bindKeys({{"BUTTON1", "a"}, {"BUTTON3", "q"}, {"DOWN", "s"}});
    line = ReplayViewer::Caption(0, true, input);
    EXPECT_EQ(line.rfind("REPLAY paused  Q:exit  A:resume", 0), 0u) << line;
    EXPECT_NE(line.find("S:step"), std::string::npos) << line;
    EXPECT_EQ(ReplayViewer::Caption(1, false, input).rfind("REPLAY x1/2", 0), 0u);
    // Long key names leave the least needed parts off rather than run past the field.
    input.bindKeys({{"LEFT", "Left Shift"}, {"RIGHT", "Right Shift"}, {"BUTTON1", "Keypad Enter"}});
    for (int speed = 0; speed < ReplayViewer::kSpeedCount; ++speed)
        for (bool paused : {false, true}) {
            line = ReplayViewer::Caption(speed, paused, input);
            EXPECT_LE(line.size(), 60u) << line;
            EXPECT_NE(line.find(":exit"), std::string::npos) << line;
        }

    // On the bottom line, under the gauge: nowhere near the bonus counter at the top.
    PlayHarness replay(4, false);
    replay.game().PlayReplay(play.game().record());
    replay.run(3);
    const CharacterString& caption = replay.game().replayViewer().captionText();
    EXPECT_GE(caption.y >> 16, 584 + 8) << "glyphs are centred: the line covers y - 8 .. y + 8";
    EXPECT_LE(caption.y >> 16, 600 - 8);
    EXPECT_EQ(caption.text().rfind("REPLAY x1", 0), 0u) << caption.text();
}
