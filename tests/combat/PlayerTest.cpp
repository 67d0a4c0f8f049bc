#include <vector>
#include "CombatFixture.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"

namespace {

class PlayerTest : public CombatFixture {};

TEST_F(PlayerTest, DirectionButtonsMoveByTheFirstMatchingCase) {
    constexpr Fixed16 d = 3 * 46334;  // 2.121 pixels, a diagonal step at speed 3
    constexpr Fixed16 s = toFixed(3);
    struct Case {
        std::vector<int> buttons;
        Fixed16 dx, dy;
    };
    const Case cases[] = {
        {{Right}, s, 0},         {{Left}, -s, 0},        {{Up}, 0, -s},          {{Down}, 0, s},
        {{Right, Down}, d, d},   {{Down, Left}, -d, d},  {{Left, Up}, -d, -d},   {{Up, Right}, d, -d},
        {{Right, Left}, s, 0},   {{Up, Down}, 0, s},     {{}, 0, 0},
        {{Left, Right, Up, Down}, d, d},
    };
    for (const Case& c : cases) {
        PlaceShip(240, 300);
        for (int b : c.buttons) Press(b, true);
        Frame();
        for (int b : c.buttons) Press(b, false);
        EXPECT_EQ(player->x - toFixed(240), c.dx) << "buttons " << c.buttons.size();
        EXPECT_EQ(player->y - toFixed(300), c.dy) << "buttons " << c.buttons.size();
    }
}

TEST_F(PlayerTest, ShipNeverLeavesItsBox) {
    PlaceShip(20, 20);
    Press(Left, true);
    Press(Up, true);
    Frames(5);
    EXPECT_EQ(player->GetPosition(), (Point{toFixed(16), toFixed(16)}));
    Press(Left, false);
    Press(Up, false);
    PlaceShip(460, 580);
    Press(Right, true);
    Press(Down, true);
    Frames(5);
    EXPECT_EQ(player->GetPosition(), (Point{toFixed(464), toFixed(584)}));
}

TEST_F(PlayerTest, HoldingButton1FiresEveryFifthFrameFromShipAndPod) {
    Press(Button1, true);
    std::vector<int> counts;
    for (int i = 0; i < 11; ++i) {
        Frame();
        counts.push_back(Count<CharacterShotPlayer>(playerShots));
    }
    // Three shots a volley (two from the ship, one from the pod), on frames 1, 6 and 11.
    EXPECT_EQ(counts, (std::vector<int>{3, 3, 3, 3, 3, 6, 6, 6, 6, 6, 9}));
}

TEST_F(PlayerTest, PodOnTheShipShootsStraightUpOtherwiseAwayFromTheShip) {
    player->FirePod(12);
    auto* shot = First<CharacterShotPlayer>(playerShots);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->vx, 0);
    EXPECT_EQ(shot->vy, -toFixed(12));
    playerShots.ClearChildren();
    player->podX = player->x + toFixed(30);  // pod to the right: shoots right
    player->podY = player->y;
    player->FirePod(12);
    shot = First<CharacterShotPlayer>(playerShots);
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(shot->vx, toFixed(12));
    EXPECT_EQ(shot->vy, 0);
}

TEST_F(PlayerTest, QuickSecondTapSwitchesThePodFormation) {
    // First tap: fires, but the long-ago "last hold" (9999 frames) keeps the formation.
    env.input.setButton(Button1, true);
    Frames(3);
    env.input.setButton(Button1, false);
    Frame();
    EXPECT_EQ(player->podFormation, PodTrailing);
    // A second tap within 10 frames of the last shot after a short hold: Front.
    env.input.setButton(Button1, true);
    Frame();
    EXPECT_EQ(player->podFormation, PodFront);
    env.input.setButton(Button1, false);
    Frames(30);
    // Too long after the last shot: no switch.
    env.input.setButton(Button1, true);
    Frame();
    EXPECT_EQ(player->podFormation, PodFront);
}

TEST_F(PlayerTest, StockCycleFrameBoundaries) {
    // Holding Button2: large bullets on the 60th frame, not the 59th.
    Press(Button2, true);
    Frames(59);
    EXPECT_EQ(info.GetMode(), 0);
    Frame();
    EXPECT_EQ(info.GetMode(), 2);
    Press(Button2, false);
    // The 60th frame of large bullets earns the stock.
    Frames(58);
    EXPECT_EQ(player->GetStock(), 0);
    Frame();
    EXPECT_EQ(player->GetStock(), 1);
    Frames(10);  // large bullets lapse
    ASSERT_EQ(info.GetMode(), 0);

    // Taps of 1 and 2 frames do nothing; 3 frames spends the stock on small bullets.
    for (int held : {1, 2}) {
        Press(Button2, true);
        Frames(held);
        Press(Button2, false);
        Frame();
        EXPECT_EQ(player->GetStock(), 1) << held;
        EXPECT_EQ(info.GetMode(), 0) << held;
    }
    Press(Button2, true);
    Frames(3);
    Press(Button2, false);
    Frame();
    EXPECT_EQ(player->GetStock(), 0);
    EXPECT_EQ(info.GetMode(), 1);
    EXPECT_EQ(info.GetModeTimer(), 300);
}

TEST_F(PlayerTest, SpendingNeedsAHoldOfAtMostSixtyFrames) {
    for (int held : {60, 61}) {
        player->stock = 1;
        Press(Button2, true);
        Frames(held);
        Press(Button2, false);
        Frame();
        // With a stock held a long hold neither enlarges nor (past 60) shrinks the bullets.
        EXPECT_EQ(info.GetMode(), held == 60 ? 1 : 0) << held;
        EXPECT_EQ(player->GetStock(), held == 60 ? 0 : 1) << held;
        Frames(310);
    }
}

TEST_F(PlayerTest, HoldingDuringSmallBulletsSwitchesToLargeWithoutAStock) {
    ASSERT_TRUE(info.BeginMode1());
    Press(Button2, true);
    Frames(60);
    EXPECT_EQ(info.GetMode(), 2);
}

TEST_F(PlayerTest, DeathCostsALifeErasesBulletsAndGivesInvulnerability) {
    auto* bullet = new CharacterShotEnemy(&env, &log, &info, 0x218, 8, 1);
    lower.AddChildren(bullet);
    bullet->SetPosition(toFixed(100), toFixed(100));

    EXPECT_TRUE(player->HitTestCircle({player->x + toFixed(3), player->y}, 10));
    EXPECT_EQ(player->GetLives(), 2);
    EXPECT_TRUE(info.GetFlag(FlagLifeLost));
    EXPECT_FALSE(bullet->alive);
    EXPECT_EQ(Count<CharacterEffect>(top), 2);  // the ship's explosion and the bullet's vanish
    // Both hit tests ignore the ship for 180 frames.
    const Point min{player->x - toFixed(5), player->y - toFixed(5)};
    const Point max{player->x + toFixed(5), player->y + toFixed(5)};
    Frames(179);
    EXPECT_FALSE(player->HitTestCircle(player->GetPosition(), 100));
    EXPECT_FALSE(player->HitTestRect(min, max));
    Frame();
    EXPECT_TRUE(player->HitTestRect(min, max));
    EXPECT_EQ(player->GetLives(), 1);
}

TEST_F(PlayerTest, HitTestsUseStrictBounds) {
    // Distance 3 squared is 9: hit below 10, not below 9. The rectangle's edges do not hit.
    EXPECT_FALSE(player->HitTestCircle({player->x + toFixed(3), player->y}, 9));
    EXPECT_FALSE(player->HitTestRect({player->x, player->y - toFixed(1)}, {player->x + toFixed(5), player->y + toFixed(1)}));
    EXPECT_EQ(player->GetLives(), 3);
}

TEST_F(PlayerTest, InvulnerableShipBlinksTwoFramesOnTwoOff) {
    ShowSprites({0x100});
    player->Die();
    std::vector<bool> shown;
    for (int i = 0; i < 8; ++i) {
        Frame();
        shown.push_back(DrawnAt(0x100, 240, 500));
    }
    // invulnerable counts 179, 178, ...: drawn while (value & 3) < 2.
    EXPECT_EQ(shown, (std::vector<bool>{false, false, true, true, false, false, true, true}));
}

TEST_F(PlayerTest, ShipWithoutLivesIsInertAndInvisible) {
    ShowSprites({0x100});
    player->SetLives(1);
    player->Die();
    Press(Right, true);
    Press(Button1, true);
    Frames(200);
    EXPECT_EQ(player->x, toFixed(240));
    EXPECT_EQ(Count<CharacterShotPlayer>(playerShots), 0);
    EXPECT_EQ(DrawnCount(0x100), 0);
    EXPECT_FALSE(player->HitTestCircle(player->GetPosition(), 100));
    EXPECT_EQ(player->GetLives(), 0);
}

TEST_F(PlayerTest, OneExtendAtFiveHundredItems) {
    info.IncreaseItemCount(499);
    Frame();
    EXPECT_EQ(player->GetLives(), 3);
    info.IncreaseItemCount(1);
    Frame();
    EXPECT_EQ(player->GetLives(), 4);
    info.ResetItemCount();
    Frame();
    info.IncreaseItemCount(600);
    Frame();
    EXPECT_EQ(player->GetLives(), 4);
}

TEST_F(PlayerTest, HudShowsSpareLivesAndTheStock) {
    ShowSprites({0x101, 0x102});
    player->stock = 1;
    Frame();
    EXPECT_TRUE(DrawnAt(0x101, 10, 10));
    EXPECT_TRUE(DrawnAt(0x101, 30, 10));
    EXPECT_EQ(DrawnCount(0x101), 2);
    EXPECT_TRUE(DrawnAt(0x102, 10, 30));
}

}  // namespace
