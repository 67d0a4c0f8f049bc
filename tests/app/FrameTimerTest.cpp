#include <gtest/gtest.h>
#include <vector>
#include "app/FrameTimer.h"

namespace {
// A clock the test moves by hand; sleeping advances it by exactly the time slept.
class FakeClock : public MsClock {
public:
    std::uint32_t now() override { return t; }
    void sleep(std::uint32_t ms) override {
        slept.push_back(ms);
        t += ms;
    }
    std::uint32_t t = 1000;
    std::vector<std::uint32_t> slept;
};
}  // namespace

TEST(FrameTimer, PacesWithoutDriftAt60And240) {
    for (int fps : {60, 240}) {
        FakeClock clock;
        FrameTimer timer(nullptr, &clock);
        timer.setTargetFps(fps);
        timer.Reset();
        for (int i = 0; i < 120; ++i) timer.Wait();
        // Due times are frameCount * 1000 / fps from the start: steps of 16/17 or 4/5 ms.
        for (std::uint32_t s : clock.slept) EXPECT_TRUE(s == 1000u / fps || s == 1000u / fps + 1) << s;
        EXPECT_EQ(clock.t - 1000, 120u * 1000 / fps);
        EXPECT_FALSE(timer.skipThisFrame());
    }
}

TEST(FrameTimer, MeasuresRateAndCpuLoad) {
    FakeClock clock;
    FrameTimer timer(nullptr, &clock);
    // Each frame works 4 ms before waiting, so about a quarter of the time is not slept.
    for (int i = 0; i < 300; ++i) {
        clock.t += 4;
        timer.Wait();
    }
    EXPECT_NEAR(timer.measuredFps(), 60.0, 1.0);
    EXPECT_NEAR(timer.cpuLoad(), 24.0, 2.0);
}

TEST(FrameTimer, ElevenLateFramesSkipTenThenRebase) {
    FakeClock clock;
    FrameTimer timer(nullptr, &clock);
    timer.Wait();  // on time
    for (int i = 1; i <= 11; ++i) {
        clock.t += 50;  // every frame far too slow
        timer.Wait();
        if (i <= 10) {
            EXPECT_TRUE(timer.skipThisFrame()) << i;
        } else {
            EXPECT_FALSE(timer.skipThisFrame());
            EXPECT_EQ(timer.lastSkipRun(), 10);
        }
    }
    // The schedule restarted from now: the next frame is due a whole frame later.
    clock.slept.clear();
    timer.Wait();
    ASSERT_EQ(clock.slept.size(), 1u);
    EXPECT_EQ(clock.slept[0], 16u);
}

TEST(FrameTimer, OneLateFrameThenOnTimeRecordsRunOfOne) {
    FakeClock clock;
    FrameTimer timer(nullptr, &clock);
    clock.t += 40;
    timer.Wait();
    EXPECT_TRUE(timer.skipThisFrame());
    timer.Wait();  // due at 33 ms, now at 40: still late
    EXPECT_TRUE(timer.skipThisFrame());
    timer.Wait();  // due at 50: on time
    EXPECT_FALSE(timer.skipThisFrame());
    EXPECT_EQ(timer.lastSkipRun(), 2);
    timer.Wait();
    EXPECT_EQ(timer.lastSkipRun(), 0);
}

TEST(FrameTimer, LongStallClosesOneWindowPerCall) {
    FakeClock clock;
    FrameTimer timer(nullptr, &clock);
    for (int i = 0; i < 60; ++i) timer.Wait();
    const double before = timer.measuredFps();
    clock.t += 3000;  // six windows pass in one frame
    timer.Wait();
    const double afterOne = timer.measuredFps();
    timer.Wait();
    // Each call closes exactly one window, so the figure keeps moving over several calls
    // instead of jumping once.
    EXPECT_NE(before, afterOne);
    EXPECT_NE(afterOne, timer.measuredFps());
}

TEST(FrameTimer, AReplayRunFasterThanRealTimeKeepsItsFiguresInRange) {
    // Not sleeping, one millisecond a frame: every wait is owed and never taken, so the sums of
    // the windows grow far past 32 bits over a long replay. The load stays a share of the time.
    FakeClock clock;
    FrameTimer timer(nullptr, &clock);
    timer.setNoSleep(true);
    for (int i = 0; i < 100000; ++i) {
        clock.t += 1;
        timer.Wait();
        ASSERT_GE(timer.cpuLoad(), 0.0) << i;
        ASSERT_LE(timer.cpuLoad(), 100.0) << i;
    }
    EXPECT_NEAR(timer.measuredFps(), 1000.0, 10.0);
    EXPECT_TRUE(clock.slept.empty());
}
