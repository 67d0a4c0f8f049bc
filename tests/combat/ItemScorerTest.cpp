#include <string>
#include "CombatFixture.h"
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterScorer.h"

namespace {

class ItemScorerTest : public CombatFixture {
protected:
    CharacterItemScore* Item(int value, int px, int py) {
        auto* item = new CharacterItemScore(&env, &log, &info, value);
        middle.AddChildren(item);
        item->SetPosition(toFixed(px), toFixed(py));
        item->SetVelocity(0, 0);
        return item;
    }
};

TEST_F(ItemScorerTest, PickingUpAddsTheDropValueWithAnEffect) {
    Item(3, 240, 480);  // 20 pixels above the ship: within 32
    info.BeginMode2();  // the bullet size now no longer matters
    Frame();
    EXPECT_EQ(info.GetItemCount(), 3);
    EXPECT_TRUE(middle.GetChildren().empty());
    ASSERT_EQ(Count<CharacterEffect>(top), 1);
    EXPECT_EQ(First<CharacterEffect>(top)->spriteBase, 0x40C);
}

TEST_F(ItemScorerTest, PickUpRadiusIsThirtyTwoPixels) {
    CharacterItem item(&env, &log, &info);
    item.SetPosition(toFixed(100), toFixed(100));
    EXPECT_FALSE(item.TryPickUp(toFixed(132), toFixed(100)));
    EXPECT_TRUE(item.alive);
    EXPECT_TRUE(item.TryPickUp(toFixed(131), toFixed(100)));
    EXPECT_FALSE(item.alive);
}

TEST_F(ItemScorerTest, ItemsAreNotCollectedWithoutLives) {
    player->SetLives(0);
    Item(2, 240, 490);
    Frame();
    EXPECT_EQ(info.GetItemCount(), 0);
}

TEST_F(ItemScorerTest, UncollectedItemBlinksFrom375AndExpiresAfter600) {
    ShowSprites({0x106});
    PlaceShip(460, 30);
    auto* item = Item(2, 100, 100);
    int hiddenBefore375 = 0;
    for (int age = 0; age < 375; ++age) {
        item->y = toFixed(100);  // hold it in place; only its age matters here
        Frame();
        hiddenBefore375 += !DrawnAt(0x106, 100, 100);
    }
    EXPECT_EQ(hiddenBefore375, 0);
    int hiddenAfter = 0;
    for (int age = 375; age < 600; ++age) {
        item->y = toFixed(100);
        Frame();
        hiddenAfter += !DrawnAt(0x106, 100, 100);
    }
    EXPECT_EQ(hiddenAfter, 56);  // ages 376, 380, ... 596 (one frame in four)
    EXPECT_EQ(middle.GetChildren().size(), 1u);
    item->y = toFixed(100);
    Frame();  // age 601
    EXPECT_TRUE(middle.GetChildren().empty());
}

TEST_F(ItemScorerTest, ItemsFallingBelowTheFieldGoAtOnce) {
    PlaceShip(460, 30);
    Item(1, 100, 609);
    Item(1, 100, 608);
    Frame();
    EXPECT_EQ(middle.GetChildren().size(), 1u);
}

TEST_F(ItemScorerTest, ThrownItemSlowsDownButKeepsSinking) {
    PlaceShip(460, 30);
    auto* item = Item(1, 100, 100);
    item->SetVelocity(toFixed(5), 0);
    Frames(200);
    EXPECT_GT(item->vx, 0);
    EXPECT_LT(item->vx, 3000);  // 5 px * (250/256)^200 is about 0.044 px
    // The half-pixel fall is not part of the velocity and never fades.
    const Fixed16 y0 = item->y;
    Frame();
    EXPECT_EQ(item->y - y0, 32768);
}

TEST_F(ItemScorerTest, RankTextsChangeAtTheirBoundaries) {
    struct Case {
        int tally;
        const char* text;
    };
    const Case cases[] = {
        {400, "Your score rank is ... rank E : paper pilot."}, {401, "Your score rank is ... rank D : peppter."},
        {800, "Your score rank is ... rank D : peppter."},      {801, "Your score rank is ... rank C : mustard."},
        {1200, "Your score rank is ... rank C : mustard."},     {1201, "Your score rank is ... rank B : minister."},
        {1600, "Your score rank is ... rank B : minister."},    {1601, "Your score rank is ... rank A : master."},
        {2000, "Your score rank is ... rank A : master."},      {2001, "Your score rank is ... rank S : shooter."},
    };
    for (const Case& c : cases) EXPECT_STREQ(CharacterScorer::RankText(c.tally), c.text) << c.tally;
}

// Runs a scorer until it ends the play; reports the final rank line and the frames at which the
// game-over line appeared and the play was left.
struct ScorerRun {
    std::string rank;
    std::string closing;    // the closing line as it ends
    int gameOverFrame = -1;  // the first frame with a closing line
    int endFrame = -1;
    int boxFrame = -1;  // the first frame with a text box (the congratulation)
    std::string box;
};

class ScorerTest : public ItemScorerTest {
protected:
    // stage: the play's stage number when the scorer is made (past the last, the lap is cleared).
    ScorerRun Run(int gameMode, int items, int stage = 1) {
        info.SetGameMode(gameMode);
        info.SetStage(stage);
        info.ResetItemCount();
        info.IncreaseItemCount(items);
        CharacterScorer scorer(&env, &log, &info);
        ScorerRun run;
        auto& boxes = platform.textRenderer().texts;
        for (int f = 1; f < 100000 && run.endFrame < 0; ++f) {
            boxes.clear();
            scorer.Act();
            if (run.gameOverFrame < 0 && !scorer.gameOverLine.text().empty()) run.gameOverFrame = f;
            if (run.boxFrame < 0 && !boxes.empty()) run.boxFrame = f, run.box = boxes.front();
            if (info.GetFlag(FlagLeavePlay)) run.endFrame = f;
        }
        run.rank = scorer.rankLine.text();
        run.closing = scorer.gameOverLine.text();
        info.SetFlag(FlagLeavePlay, false);
        return run;
    }
};

TEST_F(ScorerTest, FinalRankAndTimingsByStep) {
    struct Case {
        int gameMode, items;
        const char* rank;  // "" when no rank line ever shows
        int gameOverFrame, endFrame;
    };
    const Case cases[] = {
        {3, 2004, "Your score rank is ... rank S : shooter.", 621, 802},
        {3, 2003, "Your score rank is ... rank A : master.", 621, 801},
        {2, 403, "Your score rank is ... rank E : paper pilot.", 221, 401},
        {2, 404, "Your score rank is ... rank D : peppter.", 221, 402},
        {5, 407, "Your score rank is ... rank E : paper pilot.", 111, 531},
        {4, 408, "Your score rank is ... rank D : peppter.", 111, 532},
        {3, 3, "", 121, 301},
        {5, 7, "", 61, 481},
    };
    for (const Case& c : cases) {
        const ScorerRun run = Run(c.gameMode, c.items);
        EXPECT_EQ(run.rank, c.rank) << c.gameMode << "/" << c.items;
        EXPECT_EQ(run.gameOverFrame, c.gameOverFrame) << c.gameMode << "/" << c.items;
        EXPECT_EQ(run.endFrame, c.endFrame) << c.gameMode << "/" << c.items;
        EXPECT_EQ(run.closing, "-GAME OVER-");
        EXPECT_EQ(run.boxFrame, -1) << "no congratulation for a play that fell short";
    }
}

// A cleared lap closes with "-ALL CLEAR-" and a congratulation from the same frame on; the tally,
// the rank and the timing stay those of any other ending. A play still on its last stage (lost
// there) is no clear.
TEST_F(ScorerTest, AClearedLapSaysAllClearWithTheSameTallyAndTiming) {
    struct Case {
        int gameMode, lastStage, items;
    };
    for (const Case c : {Case{4, 4, 408}, Case{2, 4, 404}, Case{5, 5, 2004}, Case{3, 5, 3}}) {
        SCOPED_TRACE(c.gameMode);
        const ScorerRun lost = Run(c.gameMode, c.items, c.lastStage);
        const ScorerRun cleared = Run(c.gameMode, c.items, c.lastStage + 1);
        EXPECT_EQ(lost.closing, "-GAME OVER-");
        EXPECT_EQ(lost.boxFrame, -1);
        EXPECT_EQ(cleared.closing, "-ALL CLEAR-");
        EXPECT_EQ(cleared.rank, lost.rank);
        EXPECT_EQ(cleared.gameOverFrame, lost.gameOverFrame);
        EXPECT_EQ(cleared.endFrame, lost.endFrame);
        EXPECT_EQ(cleared.boxFrame, cleared.gameOverFrame);
        EXPECT_EQ(cleared.box, CharacterScorer::CongratulationOf(c.gameMode));
    }
    // The second lap is the whole game, the first opens it: each has its own words.
    EXPECT_STRNE(CharacterScorer::CongratulationOf(4), CharacterScorer::CongratulationOf(5));
    EXPECT_STREQ(CharacterScorer::CongratulationOf(2), CharacterScorer::CongratulationOf(4));
}

TEST_F(ItemScorerTest, BonusTimerShowsThreeDigitsNeverNegativeAndLeaves180FramesAfterStop) {
    ShowSprites({0x130, 0x132, 0x133, 0x134});
    auto* timer = new CharacterBonusTimer(&env, &log, 1234.9, 0.5);
    top.AddChildren(timer);
    Frame();
    // 1234.9 shows as 234: digits at x 106+118, 106+86, 106+54.
    EXPECT_TRUE(DrawnAt(0x134, 224, 16));
    EXPECT_TRUE(DrawnAt(0x133, 192, 16));
    EXPECT_TRUE(DrawnAt(0x132, 160, 16));
    timer->value = 0.2;
    Frame();
    EXPECT_EQ(timer->value, 0.0);
    EXPECT_DOUBLE_EQ(timer->Stop(), 0.0);
    Frames(180);
    EXPECT_EQ(top.GetChildren().size(), 1u);
    Frame();
    EXPECT_TRUE(top.GetChildren().empty());
}

TEST_F(ItemScorerTest, EffectsLastTheirTableLifetimeAndDrift) {
    struct Case {
        int kind, lifetime;
    };
    const Case cases[] = {{0, 32}, {1, 8}, {2, 8}, {5, 8}, {6, 8}, {7, 64}, {8, 8}};
    for (const Case& c : cases) {
        auto* e = new CharacterEffect(&env, &log, c.kind);
        top.AddChildren(e);
        e->SetVelocity(toFixed(1), 0);
        Frames(c.lifetime - 1);
        ASSERT_EQ(top.GetChildren().size(), 1u) << c.kind;
        EXPECT_EQ(e->x, toFixed(c.lifetime - 1));
        Frame();
        EXPECT_TRUE(top.GetChildren().empty()) << c.kind;
    }
}

}  // namespace
