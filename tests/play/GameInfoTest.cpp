#include <gtest/gtest.h>
#include <vector>
#include "play/GameInfo.h"
#include "play/Random.h"

TEST(PlayRandom, ReproducesTheMicrosoftSequence) {
    // rand() after srand(1) in the Microsoft C runtime.
    const std::vector<int> fromOne = {41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464};
    playrand::srand(1);
    for (int expected : fromOne) EXPECT_EQ(playrand::rand(), expected);
    // Seed 0 and a seed past 16 bits (the whole 32-bit state is kept).
    playrand::srand(0);
    EXPECT_EQ(playrand::rand(), 38);
    EXPECT_EQ(playrand::rand(), 7719);
    playrand::srand(0x12345678u);
    const int a = playrand::rand();
    playrand::srand(0x5678u);
    EXPECT_NE(playrand::rand(), a);
    // Reseeding starts the same sequence again; results never leave 0..RAND_MAX.
    playrand::srand(1);
    EXPECT_EQ(playrand::rand(), 41);
    for (int i = 0; i < 100000; ++i) {
        const int r = playrand::rand();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, playrand::kRandMax);
    }
}

TEST(GameInfo, FlagsOutsideTheTableAreIgnored) {
    GameInfo info;
    info.SetFlag(100, true);
    info.SetFlag(-1, true);
    EXPECT_FALSE(info.GetFlag(100));
    EXPECT_FALSE(info.GetFlag(-1));
    for (int i = 0; i < GameInfo::kFlagCount; ++i) EXPECT_FALSE(info.GetFlag(i)) << i;
    info.SetFlag(99, true);
    info.SetFlag(0, true);
    EXPECT_TRUE(info.GetFlag(99));
    info.ClearFlags();
    EXPECT_FALSE(info.GetFlag(99));
    EXPECT_FALSE(info.GetFlag(0));
}

TEST(GameInfo, EachModeLastsItsTicksThenFallsBackToNormal) {
    struct Case {
        bool large;
        int ticksStillOn;  // the mode is still set after this many ticks, gone after one more
        std::int32_t timerAtLastTick;
        std::int32_t valueA, valueB;
        int flag;
    };
    for (const Case c : {Case{false, 301, -1, 128, 4, FlagEnteredSmall}, Case{true, 61, -5, 64, 64, FlagEnteredLarge}}) {
        SCOPED_TRACE(c.large ? "large" : "small");
        GameInfo info;
        ASSERT_TRUE(c.large ? info.BeginMode2() : info.BeginMode1());
        const std::int32_t mode = c.large ? 2 : 1;
        EXPECT_TRUE(info.GetFlag(c.flag));
        EXPECT_EQ(info.GetModeTimer(), 300);
        for (int i = 0; i < c.ticksStillOn; ++i) info.TickMode();
        EXPECT_EQ(info.GetMode(), mode);
        EXPECT_EQ(info.GetModeTimer(), c.timerAtLastTick);
        EXPECT_EQ(info.GetModeValueA(), c.valueA);
        EXPECT_EQ(info.GetModeValueB(), c.valueB);
        info.TickMode();
        EXPECT_EQ(info.GetMode(), 0);
        EXPECT_EQ(info.GetModeValueA(), 0);
        EXPECT_EQ(info.GetModeValueB(), 16);
        EXPECT_EQ(info.GetModeTimer(), c.timerAtLastTick) << "the timer stays negative";
    }
}

TEST(GameInfo, AModeRefusesItselfWhileRunningButTheOtherInterrupts) {
    GameInfo info;
    ASSERT_TRUE(info.BeginMode1());
    for (int i = 0; i < 10; ++i) info.TickMode();
    EXPECT_FALSE(info.BeginMode1());
    EXPECT_EQ(info.GetModeTimer(), 290) << "a refused start changes nothing";

    ASSERT_TRUE(info.BeginMode2());
    EXPECT_EQ(info.GetMode(), 2);
    EXPECT_EQ(info.GetModeTimer(), 300);
    EXPECT_FALSE(info.BeginMode2());
    for (int i = 0; i < 5; ++i) info.TickMode();
    ASSERT_TRUE(info.BeginMode1());
    EXPECT_EQ(info.GetMode(), 1);
    EXPECT_EQ(info.GetModeTimer(), 300);
    EXPECT_EQ(info.GetModeValueA(), 128);

    // Once run out (timer negative, even before the tick that resets the mode) it starts again.
    for (int i = 0; i < 301; ++i) info.TickMode();
    ASSERT_EQ(info.GetModeTimer(), -1);
    EXPECT_TRUE(info.BeginMode1());
}

TEST(GameInfo, NormalModeCountsDownOnceThenRests) {
    GameInfo info;
    EXPECT_EQ(info.GetModeValueB(), 4) << "until the first tick that finds the timer negative";
    info.TickMode();
    EXPECT_EQ(info.GetModeTimer(), -1);
    EXPECT_EQ(info.GetModeValueB(), 4);
    info.TickMode();
    info.TickMode();
    EXPECT_EQ(info.GetModeTimer(), -1);
    EXPECT_EQ(info.GetModeValueB(), 16);
    EXPECT_EQ(info.GetMode(), 0);
}
