// A play driven by a game pad goes exactly as the same play on the keyboard: the pad's d-pad and
// stick move the ship, south fires, east is the bullet-size button.
#include <gtest/gtest.h>
#include <cstdint>
#include <vector>
#include "play/GameInfo.h"
#include "play/PlayHarness.h"

namespace {

using B = PlayHarness;

// The buttons the player holds on frame f: a little of everything, charge and spend included.
std::uint8_t buttonsAt(int f) {
    std::uint8_t b = 0;
    if (f % 240 < 80) b |= B::bit(Right) | B::bit(Up);
    else if (f % 240 < 160) b |= B::bit(Left);
    else b |= B::bit(Down);
    if (f % 30 < 20) b |= B::bit(Button1);
    if (f >= 300 && f < 380) b |= B::bit(Button2);  // held: charges a stock
    if (f >= 500 && f < 505) b |= B::bit(Button2);  // short press: spends it
    return b;
}

// The same buttons on a pad: directions half on the d-pad, half on the stick.
InputDevices::PadState padFor(std::uint8_t b) {
    InputDevices::PadState p;
    p.right = (b & B::bit(Right)) != 0;
    p.left = (b & B::bit(Left)) != 0;
    p.leftY = (b & B::bit(Up)) ? -32768 : (b & B::bit(Down)) ? 32767 : 0;
    p.south = (b & B::bit(Button1)) != 0;
    p.east = (b & B::bit(Button2)) != 0;
    return p;
}

struct Frame {
    Point ship;
    std::size_t shots;
    std::int32_t items;
    bool operator==(const Frame&) const = default;
};

// One play after the other: the play's random generator is shared, so they must not interleave.
std::vector<Frame> play(bool onPad) {
    PlayHarness h(4);
    std::vector<Frame> frames;
    for (int f = 0; f < 700 && !h.ended(); ++f) {
        const std::uint8_t b = buttonsAt(f);
        if (onPad) {
            h.platform().inputDevices().pads = {padFor(b)};
            h.step(0);
        } else {
            h.step(b);
        }
        frames.push_back({h.info().GetPlayerPosition(), h.treeSize(3), h.items()});
    }
    return frames;
}

TEST(PadPlay, APadPlaysExactlyLikeTheKeyboard) {
    const std::vector<Frame> keys = play(false);
    const std::vector<Frame> pad = play(true);
    ASSERT_EQ(pad.size(), keys.size());
    for (std::size_t f = 0; f < keys.size(); ++f) {
        ASSERT_EQ(pad[f].ship, keys[f].ship) << "frame " << f;
        ASSERT_EQ(pad[f].shots, keys[f].shots) << "player shots, frame " << f;
        ASSERT_EQ(pad[f].items, keys[f].items) << "frame " << f;
    }
    // The play did something worth comparing.
    EXPECT_NE(keys.back().ship, keys.front().ship);
    EXPECT_GT(keys[100].shots, 0u);
    EXPECT_GT(keys.back().items, 0);
}

}  // namespace
