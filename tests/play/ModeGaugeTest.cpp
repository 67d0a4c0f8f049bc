#include <gtest/gtest.h>
#include "play/ModeGauge.h"

// Every frame of both timed modes: the bar stays inside the gauge frame, holds its anchored end
// and shows the time left (small bullets) or gone (large bullets).
TEST(ModeGauge, TheBarStaysInsideTheFrameAtItsAnchoredEnd) {
    struct Case {
        std::int32_t mode, firstTimer, lastTimer, step, sprite;
        bool anchoredLeft;
    };
    for (const Case c : {Case{1, 300, 1, 1, 0x127, true}, Case{2, 300, -5, 5, 0x126, false}}) {
        for (std::int32_t t = c.firstTimer; t >= c.lastTimer; t -= c.step) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << " timer " << t);
            const auto bar = ModeGaugeBarOf(c.mode, t);
            const std::int32_t width = c.mode == 1 ? t : std::min(300, 300 - t);
            if (width == 0) {
                EXPECT_FALSE(bar);
                continue;
            }
            ASSERT_TRUE(bar);
            EXPECT_EQ(bar->sprite, c.sprite);
            EXPECT_EQ(bar->width, width);
            // Drawn centred with half the width on each side.
            const std::int32_t left = bar->centreX - bar->width / 2;
            const std::int32_t right = bar->centreX + bar->width / 2;
            EXPECT_GE(left, kModeGaugeLeft);
            EXPECT_LE(right, kModeGaugeRight);
            if (c.anchoredLeft)
                EXPECT_EQ(left, kModeGaugeLeft);
            else
                EXPECT_EQ(right, kModeGaugeRight);
        }
    }
}

TEST(ModeGauge, NoBarWithoutWidthOrInNormalMode) {
    struct Case {
        std::int32_t mode, timer;
    };
    // Mode 1 shows its last frame at timer -1, after the tick that took it below 0.
    for (const Case c : {Case{1, 0}, Case{1, -1}, Case{0, 0}, Case{0, -1}, Case{0, 300}, Case{3, 100}})
        EXPECT_FALSE(ModeGaugeBarOf(c.mode, c.timer)) << "mode " << c.mode << " timer " << c.timer;
    EXPECT_EQ(ModeGaugeBarOf(1, 300)->srcTop, 248);
    EXPECT_EQ(ModeGaugeBarOf(2, 300 - 5)->srcTop, 240);
}
