#include <gtest/gtest.h>
#include "app/SinCosTable.h"

TEST(SinCosTable, TruncatedEntries) {
    SinCosTable t;
    EXPECT_EQ(t.cosOf(0), 65536);
    EXPECT_EQ(t.sinOf(0), 0);
    EXPECT_EQ(t.cosOf(1024), 0);       // cos of a step just under a quarter turn, truncated
    EXPECT_EQ(t.sinOf(1024), 65535);
    EXPECT_EQ(t.cosOf(2048), -65535);  // truncation toward zero on the negative side
    EXPECT_EQ(t.sinOf(3072), -65535);
    EXPECT_EQ(t.sinOf(512), 46340);
}

TEST(FixedMath, SquaredDistanceShiftsBeforeSquaring) {
    // Differences are whole pixels by arithmetic shift: -0.5 px is -1, +0.5 px is 0.
    EXPECT_EQ(squaredDistance(toFixed(10), toFixed(20), toFixed(7), toFixed(16)), 25);
    EXPECT_EQ(squaredDistance(0, 0, 32768, 32768), 2);
    EXPECT_EQ(squaredDistance(32768, 32768, 0, 0), 0);
}

TEST(FixedMath, DirectionIsAFixedUnitVector) {
    const Point p = direction(toFixed(3), toFixed(4));
    EXPECT_EQ(p.x, toFixed(3) / 5);
    EXPECT_EQ(p.y, toFixed(4) / 5);
    EXPECT_EQ(direction(toFixed(-6), toFixed(8)).x, toFixed(-6) / 10);
    EXPECT_EQ(direction(30000, 30000), (Point{0, 0}));  // under one pixel: length 0
}
