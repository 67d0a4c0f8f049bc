// When a frame's buttons are read and when its picture is shown, seen from the screen: a key
// that goes down while the program waits for a frame must be on screen as soon as that frame is
// drawn, not one frame later.
#include <gtest/gtest.h>
#include <functional>
#include <vector>
#include "app/Env.h"
#include "app/SceneLoop.h"
#include "play/GameMain.h"
#include "records/GameTitle.h"
#include "support/TestEnv.h"

namespace {
// A clock that stands still (every frame is on time) and runs a hook whenever the timer waits.
class WaitHookClock : public MsClock {
public:
    std::uint32_t now() override { return time; }
    void sleep(std::uint32_t) override {
        ++waits;
        if (onWait) onWait();
    }
    std::uint32_t time = 0;
    int waits = 0;
    std::function<void()> onWait;
};

// The pixels of a shown picture where a menu's cursor stands beside the entry at playfield row y
// (entries at x = 100, the cursor 16 pixels to their left): they change only when the cursor
// arrives or leaves, whatever its own animation does.
std::vector<std::uint32_t> cursorCell(const std::vector<std::uint32_t>& strip, int y, int entryX = 100) {
    std::vector<std::uint32_t> cell;
    for (int row = y - 8; row < y + 8; ++row)
        for (int x = entryX - 24; x < entryX - 8; ++x) cell.push_back(strip.at(static_cast<std::size_t>(row) * 480 + x));
    return cell;
}

struct HookedEnv {
    HeadlessPlatform platform;
    Log log{""};
    WaitHookClock clock;
    Env env{platform, &log, EnvOptions{false, &clock, /*noSleep*/ false, /*openAudio*/ false}};
    HeadlessScreen& screen() { return platform.screen(); }
    bool& key(InputDevices::Key k) { return platform.inputDevices().keys[k]; }
};
}  // namespace

// Title and play draw after their tick: the key read after the wait is in the picture shown by
// the same pass of the loop.
TEST(FrameOrder, AKeyDownDuringTheWaitIsShownByThatFrame) {
    TempWorkDir dir;
    HookedEnv h;
    SceneLoop loop(h.env, h.screen(), new GameTitle(&h.env, &h.log));
    for (int i = 0; i < 5; ++i) loop.step();
    // With nothing unlocked the title's first entry is "play 1st lap" at (100, 340), the next
    // "score (1st lap)" at (110, 360).
    const std::vector<std::uint32_t> empty = cursorCell(h.screen().strip, 360, 110);
    const int presents = h.screen().presents;
    h.clock.onWait = [&] { h.key(InputDevices::KeyDown) = true; };
    loop.step();
    EXPECT_EQ(h.screen().presents, presents + 1) << "one picture a frame";
    EXPECT_NE(cursorCell(h.screen().strip, 360, 110), empty) << "the cursor is at the next entry in this pass's picture";
}

bool blank(const std::vector<std::uint32_t>& cell) {
    for (std::uint32_t pixel : cell)
        if ((pixel & 0xFFFFFFu) != 0) return false;
    return true;
}

// The pause menu acts on the last poll's buttons before its tick: its picture is shown before
// the wait, from the frame that opens it on (never a cleared field, never a frame late). It is
// opened from a play, as a player does, after the play has shown pictures of its own.
TEST(FrameOrder, ThePauseMenuShowsItsPictureBeforeTheWait) {
    TempWorkDir dir;
    HookedEnv h;
    {
        // The title loads the font and the cursor's sprites, which a play keeps for its menu.
        GameTitle title(&h.env, &h.log);
        title.Run();
    }
    auto* play = new GameMain(&h.env, &h.log);
    play->PlayReplayFile("");
    play->SetGameMode(2);
    SceneLoop loop(h.env, h.screen(), play);
    for (int i = 0; i < 10; ++i) loop.step();
    std::vector<std::vector<std::uint32_t>> shownAtWait;
    std::vector<int> presentsAtWait;
    h.clock.onWait = [&] {
        shownAtWait.push_back(h.screen().strip);
        presentsAtWait.push_back(h.screen().presents);
    };
    // Frame 0 polls C down, frame 1 opens the menu; frame 2 polls C up; frame 3 polls Down, which
    // frame 4 acts on.
    const std::vector<std::function<void()>> atWait = {
        [&] { h.key(InputDevices::KeyC) = true; },  [] {}, [&] { h.key(InputDevices::KeyC) = false; },
        [&] { h.key(InputDevices::KeyDown) = true; }, [] {}};
    for (const auto& act : atWait) {
        const auto record = h.clock.onWait;
        h.clock.onWait = [&, record] {
            record();
            act();
        };
        loop.step();
        h.clock.onWait = record;
    }
    ASSERT_EQ(shownAtWait.size(), atWait.size());
    // "return to playing" at row 100, "return to title" at 120, on a cleared field.
    EXPECT_FALSE(blank(cursorCell(shownAtWait[0], 120))) << "the play's picture before the menu opens";
    for (std::size_t f = 1; f <= 3; ++f) {
        SCOPED_TRACE(f);
        EXPECT_FALSE(blank(cursorCell(shownAtWait[f], 100))) << "the cursor on the first entry";
        EXPECT_TRUE(blank(cursorCell(shownAtWait[f], 120))) << "the menu's own picture, shown before the wait";
    }
    EXPECT_TRUE(blank(cursorCell(shownAtWait[4], 100)));
    EXPECT_FALSE(blank(cursorCell(shownAtWait[4], 120))) << "the cursor moved before the wait of the frame that read Down";
    // Between the waits of frames 0 and 1: the play's picture of frame 0, then the menu's.
    EXPECT_EQ(presentsAtWait[1] - presentsAtWait[0], 2);
    for (std::size_t f = 2; f < presentsAtWait.size(); ++f)
        EXPECT_EQ(presentsAtWait[f] - presentsAtWait[f - 1], 1) << "one picture a frame, at frame " << f;
    EXPECT_EQ(h.screen().presents, presentsAtWait.back()) << "nothing presented again after the poll";
}

// Frames the timer finds late are neither drawn nor shown; after ten of them one is.
TEST(FrameOrder, LateFramesAreSkippedUntilTheEleventh) {
    TempWorkDir dir;
    HookedEnv h;
    SceneLoop loop(h.env, h.screen(), new GameTitle(&h.env, &h.log));
    loop.step();
    const int presents = h.screen().presents, waits = h.clock.waits;
    std::vector<int> shown;
    for (int i = 0; i < 22; ++i) {
        h.clock.time += 1000;  // far behind the schedule at every frame
        const int before = h.screen().presents;
        loop.step();
        shown.push_back(h.screen().presents - before);
    }
    std::vector<int> want(22, 0);
    want[10] = want[21] = 1;
    EXPECT_EQ(shown, want);
    EXPECT_EQ(h.screen().presents, presents + 2);
    EXPECT_EQ(h.clock.waits, waits) << "a late frame never waits";
}
