#include <gtest/gtest.h>
#include <vector>
#include "RecordsFixture.h"
#include "input/Input.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

// Input on headless devices, polled one frame at a time with a chosen set of keys down.
class InputTraceTest : public RecordsFixture {
protected:
    InputTraceTest() : input(&devices, log.get()) {}

    void poll(std::initializer_list<InputDevices::Key> down = {}) {
        for (bool& k : devices.keys) k = false;
        for (auto k : down) devices.keys[k] = true;
        input.update();
    }
    static InputRun run(std::int32_t repeat, std::initializer_list<int> buttons = {}) {
        InputRun r;
        r.repeat = repeat;
        for (int b : buttons) r.state[b] = true;
        return r;
    }
    static std::vector<InputRun> runsOf(const InputTrace& t) { return t.runs(); }

    HeadlessInputDevices devices;
    Input input;
};

TEST_F(InputTraceTest, RecordingCompressesPollsIntoRunsStartingAllUp) {
    struct Case {
        const char* name;
        std::vector<bool> button1;  // Button1 down at each poll
        std::vector<InputRun> runs;
    };
    const Case cases[] = {
        {"ten idle polls", std::vector<bool>(10, false), {run(10)}},
        {"held from the first poll for three, then five polls in all",
         {true, true, true, false, false},
         {run(0), run(2, {Button1}), run(1)}},
        {"held at the last poll only", {false, false, true}, {run(2), run(0, {Button1})}},
        {"no poll at all", {}, {run(0)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        input.startTrace();
        for (bool b : c.button1) b ? poll({InputDevices::KeyZ}) : poll();
        EXPECT_EQ(runsOf(input.endTrace()), c.runs);
        EXPECT_FALSE(input.tracing());
    }
}

TEST_F(InputTraceTest, ReplayOfTheWorkedExampleHoldsButton1ForThreePollsAndEndsAtTheSixth) {
    InputTrace trace;
    for (const InputRun& r : {run(0), run(2, {Button1}), run(1)}) trace.append(r);
    input.startReplay(trace);
    EXPECT_FALSE(input.playHeld(Button1));  // the first run applies at once: all up

    std::vector<bool> held;
    int presses = 0;
    for (int p = 1; p <= 5; ++p) {
        poll();
        held.push_back(input.playHeld(Button1));
        while (input.takePress(Button1)) ++presses;
        EXPECT_TRUE(input.replaying()) << "poll " << p;
    }
    EXPECT_EQ(held, (std::vector<bool>{true, true, true, false, false}));
    EXPECT_EQ(presses, 1);

    poll();
    EXPECT_FALSE(input.replaying());
    EXPECT_NE(logText().find("入力のリプレイを終了"), std::string::npos);
}

TEST_F(InputTraceTest, ReplayReproducesEveryRecordedPollAndPress) {
    // A busy sequence: several buttons, taps of one poll, long holds, changes every poll.
    std::vector<std::vector<InputDevices::Key>> script;
    for (int i = 0; i < 400; ++i) {
        std::vector<InputDevices::Key> keys;
        if ((i / 7) % 2) keys.push_back(InputDevices::KeyZ);
        if (i % 13 == 0) keys.push_back(InputDevices::KeyX);
        if (i > 100 && i < 180) keys.push_back(InputDevices::KeyLeft);
        if (i % 2 && i > 300) keys.push_back(InputDevices::KeyUp);
        if (i == 250) keys.push_back(InputDevices::KeyC);
        script.push_back(keys);
    }
    auto playScript = [&](bool fromDevices) {
        std::vector<std::vector<int>> seen;  // per poll: held flags, then presses taken
        for (const auto& keys : script) {
            for (bool& k : devices.keys) k = false;
            if (fromDevices)
                for (auto k : keys) devices.keys[k] = true;
            input.update();
            std::vector<int> row;
            for (int b = 0; b < kButtonCount; ++b) row.push_back(input.playHeld(b));
            for (int b = 0; b < kButtonCount; ++b) row.push_back(input.takePress(b));
            seen.push_back(row);
        }
        return seen;
    };

    input.startTrace();
    const auto recorded = playScript(true);
    const InputTrace trace = input.endTrace();
    EXPECT_EQ(trace.polls(), static_cast<std::int64_t>(script.size()) + 1);

    input.startReplay(trace);
    const auto replayed = playScript(false);
    EXPECT_EQ(replayed, recorded);
}

TEST_F(InputTraceTest, LiveSetFollowsTheDevicesDuringAReplay) {
    InputTrace trace;
    trace.append(run(0));
    trace.append(run(5, {Button1}));
    input.startReplay(trace);

    poll({InputDevices::KeyC, InputDevices::KeyX});
    EXPECT_TRUE(input.playHeld(Button1));
    EXPECT_FALSE(input.playHeld(Button3));
    EXPECT_FALSE(input.playHeld(Button2));
    EXPECT_TRUE(input.isDownLive(Button3));
    EXPECT_TRUE(input.liveHeld(Button2));
    EXPECT_FALSE(input.liveHeld(Button1));
}

TEST_F(InputTraceTest, EmptyTraceLeavesButtonsUpAndEndsAtTheNextPoll) {
    poll({InputDevices::KeyZ});
    ASSERT_TRUE(input.playHeld(Button1));
    input.startReplay(InputTrace{});
    EXPECT_FALSE(input.playHeld(Button1));
    EXPECT_FALSE(input.takePress(Button1));
    EXPECT_TRUE(input.replaying());
    poll({InputDevices::KeyZ});
    EXPECT_FALSE(input.replaying());
    EXPECT_FALSE(input.playHeld(Button1));  // the ending poll fed nothing into the play set
    poll({InputDevices::KeyZ});
    EXPECT_TRUE(input.playHeld(Button1));  // then the devices drive it again
}

TEST_F(InputTraceTest, InactiveWindowRecordsTheLastStateHeld) {
    input.startTrace();
    poll({InputDevices::KeyRight});
    input.setAcquired(false);
    poll();
    poll();  // the key is up on the device, but unread: Right stays held
    input.setAcquired(true);
    poll();
    EXPECT_EQ(runsOf(input.endTrace()), (std::vector<InputRun>{run(0), run(2, {Right}), run(0)}));
}

TEST_F(InputTraceTest, SwitchingBetweenRecordingAndReplayStartsCleanly) {
    input.startTrace();
    poll({InputDevices::KeyZ});
    InputTrace t;
    t.append(run(3, {Left}));
    input.startReplay(t);  // straight from recording
    EXPECT_FALSE(input.tracing());
    EXPECT_TRUE(input.playHeld(Left));
    EXPECT_FALSE(input.playHeld(Button1));
    EXPECT_FALSE(input.takePress(Button1));  // pending presses were forgotten
    input.startTrace();  // straight from replaying
    EXPECT_FALSE(input.replaying());
    EXPECT_FALSE(input.playHeld(Left));
    poll();
    EXPECT_EQ(runsOf(input.endTrace()), (std::vector<InputRun>{run(1)}));
}

}  // namespace
