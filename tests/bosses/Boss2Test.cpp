// Boss 2 without the play scene: the hull, its lower hull and parts, walked in the layers' order.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdlib>
#include <vector>
#include "bosses/Boss2Parts.h"
#include "bosses/CharacterEnemyBoss2.h"
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "combat/CombatFixture.h"

namespace {

class Boss2Test : public CombatFixture {
protected:
    // A hull past its entry, its first section built, the ship far off and unhurt.
    template <class Hull = CharacterEnemyBoss2>
    Hull* Make(int gameMode, std::int32_t sectionsPassed = 0) {
        info.SetGameMode(gameMode);
        auto* hull = Spawn(new Hull(&env, &log, &info), 240, 200);
        hull->sectionsBuilt = sectionsPassed;
        PlaceShip(240, 300);
        Frames(CharacterEnemyBoss2::kEntryFrames + 1);
        return hull;
    }
    void Calm(int n) {
        for (int i = 0; i < n; ++i) {
            player->invulnerable = 1000;
            Frame();
        }
    }
    std::int32_t ShootAt(Fixed16 px, Fixed16 py) {
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(px, py);
        return enemyRoot.HitByShot(shot);
    }
    static std::int32_t HitPointsIn(Character& root) {
        std::int32_t sum = 0;
        for (Character* c : root.GetChildren()) {
            if (auto* e = dynamic_cast<CharacterEnemy*>(c)) sum += e->hitPoints;
            sum += HitPointsIn(*c);
        }
        return sum;
    }
    template <class T>
    static std::vector<T*> PartsOf(Character& parent) {
        std::vector<T*> out;
        for (Character* c : parent.GetChildren())
            if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
        return out;
    }
    // Explosion effects in the top layer.
    int Explosions() {
        const CharacterEffect explosion(&env, &log, EffectExplosion);
        int n = 0;
        for (Character* c : top.GetChildren()) {
            auto* e = dynamic_cast<CharacterEffect*>(c);
            n += e != nullptr && e->spriteBase == explosion.spriteBase;
        }
        return n;
    }
    // Enemy bullets flying up and flying down.
    std::pair<int, int> BulletsUpDown() {
        int up = 0, down = 0;
        for (Character* tree : {static_cast<Character*>(&upper), static_cast<Character*>(&lower)}) {
            for (Character* c : tree->GetChildren()) {
                auto* shot = dynamic_cast<CharacterShotEnemy*>(c);
                if (!shot) continue;
                up += shot->vy < 0;
                down += shot->vy > 0;
            }
        }
        return {up, down};
    }
};

TEST_F(Boss2Test, ArmourSwallowsShotsWithoutHarmWhilePartsTakeThem) {
    auto* hull = Make(3);
    auto* bottom = PartsOf<CharacterEnemyBoss2Bottom>(*hull).at(0);
    const std::int32_t before = HitPointsIn(enemyRoot);
    const Fixed16 x = hull->x, y = hull->y;
    struct Case {
        Fixed16 px, py;
        std::int32_t result;
        const char* where;
    };
    const Case cases[] = {
        {x - toFixed(600), y - toFixed(40), 1, "the strip along the top"},
        {x - toFixed(700), y - toFixed(10), 1, "the first armour block"},
        {x + toFixed(439), y + toFixed(4), 1, "the corner of the last block"},
        {x + toFixed(441), y + toFixed(4), 0, "just beside it"},
        {x + toFixed(100), y + toFixed(60), 0, "open water under the hull"},
        {bottom->x + toFixed(200), bottom->y + toFixed(10), 1, "the lower hull's armour"},
    };
    for (const Case& c : cases) EXPECT_EQ(ShootAt(c.px, c.py), c.result) << c.where;
    EXPECT_EQ(HitPointsIn(enemyRoot), before) << "no part and not the hull lost a hit point";
    EXPECT_EQ(hull->hitPoints, 1500);

    auto* pot = PartsOf<CharacterEnemyBoss2Pot>(*hull).at(0);
    EXPECT_EQ(ShootAt(pot->x, pot->y), 1);
    EXPECT_EQ(pot->hitPoints, 9);
}

// Each case places the ship a few pixels inside or outside one armour block of a hull whose
// sections have passed or not; the hull sways less than a pixel a frame, so the margins hold.
TEST_F(Boss2Test, TheArmourCrushesTheShipAndItsSecondBlockReachesDownOnceEverySectionHasPassed) {
    struct Case {
        std::int32_t passed;
        bool lower;  // relative to the lower hull, else to the hull
        int dx, dy;
        bool crushed;
        const char* where;
    };
    const Case cases[] = {
        {0, false, -100, -38, true, "the strip along the top"},
        {0, false, -700, -10, true, "the first block"},
        {0, false, -240, -10, true, "the second block"},
        {0, false, 240, -10, true, "the third block"},
        {0, false, -480, 3, false, "the gap between the first and second blocks"},
        {0, false, -500, 50, false, "under the first block while sections remain"},
        {4, false, -500, 50, true, "the first block reaching down once every section has passed"},
        {4, false, -463, 73, true, "its lower right corner"},
        {4, false, -456, 50, false, "beside it"},
        {0, true, 0, 38, true, "the lower hull's strip along the bottom"},
        {0, true, 700, 10, true, "the lower hull's first block"},
        {0, true, -240, 10, true, "the lower hull's block left of its position"},
        {0, true, 240, 10, true, "the lower hull's block right of its position"},
        {0, true, 480, -3, false, "the lower hull's gap"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        enemyRoot.ClearChildren();
        upper.ClearChildren();
        lower.ClearChildren();
        auto* hull = Make(3, c.passed);
        const Character* from = hull;
        if (c.lower) from = PartsOf<CharacterEnemyBoss2Bottom>(*hull).at(0);
        player->SetLives(3);
        player->invulnerable = 0;
        player->SetPosition(from->x + toFixed(c.dx), from->y + toFixed(c.dy));
        Frame();
        EXPECT_EQ(player->GetLives() < 3, c.crushed);
    }
}

// Sway, slide and final swing, measured against a hull that stays put: the slide carries the
// hull 480 pixels right along half a cosine of 960 frames, the final swing adds a bump of 70.
TEST_F(Boss2Test, TheHullSwaysAndSlidesAlongItsPath) {
    info.SetGameMode(3);
    auto* still = Spawn(new CharacterEnemyBoss2(&env, &log, &info), 240, 200);
    auto* moving = Spawn(new CharacterEnemyBoss2(&env, &log, &info), 240, 200);
    moving->sectionsBuilt = 3;  // its next advance is the last: the slide and the final swing at once
    PlaceShip(240, 300);
    Frames(CharacterEnemyBoss2::kEntryFrames + 1);
    const auto near = [](Fixed16 a, int px) { return std::abs(a - toFixed(px)) < toFixed(1); };
    EXPECT_EQ(still->GetPosition(), (Point{toFixed(270), toFixed(40)})) << "frame 0 of the sway";
    still->advanceTimer = -10000;  // kept from ever advancing
    moving->AdvanceSection();
    Calm(75);
    EXPECT_TRUE(near(still->x, 240)) << "a quarter of the 300-frame sway";
    Calm(30);
    EXPECT_TRUE(near(still->y, 48)) << "a quarter of the 420-frame bob";
    struct Step {
        int frame;  // frames since the advance
        int ahead;  // moving x - still x, pixels
    };
    int frame = 105;
    for (const Step s : {Step{240, 240 + 35}, Step{480, 480 + 70}, Step{960, 480}}) {
        Calm(s.frame - frame);
        frame = s.frame;
        SCOPED_TRACE(frame);
        EXPECT_TRUE(near(moving->x - still->x, s.ahead)) << toPixel(moving->x - still->x);
        EXPECT_EQ(moving->y, still->y);
    }
    EXPECT_EQ(moving->sliding, 0);
    EXPECT_EQ(moving->finalSwing, 0);
}

TEST_F(Boss2Test, APotChargesThenFiresItsFiveShotVolleyOutwardUpOrDown) {
    info.SetGameMode(3);
    for (bool inverted : {false, true}) {
        SCOPED_TRACE(inverted);
        enemyRoot.ClearChildren();
        upper.ClearChildren();
        lower.ClearChildren();
        // Under the enemy root at (0, 0): the offset is its place on the field.
        auto* pot = new CharacterEnemyBoss2Pot(&env, &log, &info);
        pot->SetOffset(toFixed(240), toFixed(300));
        if (inverted) pot->Invert();
        enemyRoot.AddChildren(pot);
        // It charges 2 a frame from its frame 32 and fires once the charge passes 55.
        for (int i = 0; i < 58; ++i) pot->UpdateTree();
        EXPECT_TRUE(upper.GetChildren().empty() && lower.GetChildren().empty());
        pot->UpdateTree();
        const int ahead = inverted ? -1 : 1;
        ASSERT_EQ(lower.GetChildren().size(), 1u);
        auto* big = static_cast<CharacterShotEnemy*>(lower.GetChildren().front());
        EXPECT_EQ(big->spriteBase, bullet::kLargeB);
        EXPECT_EQ(big->GetPosition(), (Point{toFixed(240), toFixed(300 + 10 * ahead)}));
        EXPECT_EQ(big->vx, 0);
        EXPECT_GT(big->vy * ahead, 0);
        ASSERT_EQ(upper.GetChildren().size(), 4u);
        std::vector<int> speeds;
        for (Character* c : upper.GetChildren()) {
            auto* s = static_cast<CharacterShotEnemy*>(c);
            EXPECT_EQ(s->spriteBase, bullet::kSmallB);
            const int side = toPixel(s->x) - 240;
            EXPECT_EQ(std::abs(side), 16);
            EXPECT_EQ(s->y, toFixed(300 + 10 * ahead));
            EXPECT_GT(s->vx * side, 0) << "each side gun fires away from the pot";
            EXPECT_GT(s->vy * ahead, 0);
            // 64 of 4096 off the straight line: the sideways part is about a tenth of the speed.
            const double v = std::hypot(static_cast<double>(s->vx), static_cast<double>(s->vy));
            EXPECT_NEAR(std::abs(s->vx) / v, 0.098, 0.005);
            speeds.push_back(static_cast<int>(std::lround(v / 256.0)));
        }
        EXPECT_EQ(speeds, (std::vector<int>{450, 450, 410, 410}));
    }
}

TEST_F(Boss2Test, MisoIsHitAroundAPointAboveItAndCrushesTheShipAroundAnother) {
    auto* hull = Make(3, 3);
    auto* miso = PartsOf<CharacterEnemyBoss2Miso>(*hull).at(0);
    struct Case {
        int dx, dy;  // from the miso's position
        bool hit;
    };
    // Shots count from (x - 10, y - 30), 100 pixels.
    for (const Case c : {Case{-109, -30, true}, Case{89, -30, true}, Case{-10, 69, true}, Case{-111, -30, false},
                         Case{95, 0, false}}) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        const std::int32_t before = miso->hitPoints;
        EXPECT_EQ(ShootAt(miso->x + toFixed(c.dx), miso->y + toFixed(c.dy)), c.hit ? 1 : 0);
        EXPECT_EQ(miso->hitPoints, before - (c.hit ? 1 : 0));
    }
    // The ship is crushed within 70 pixels of (x - 20, y - 35).
    for (const Case c : {Case{46, -35, true}, Case{-86, -35, true}, Case{-20, 31, true}, Case{55, 0, false},
                         Case{-20, 40, false}}) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        upper.ClearChildren();
        lower.ClearChildren();
        player->SetLives(3);
        player->invulnerable = 0;
        player->SetPosition(miso->x + toFixed(c.dx), miso->y + toFixed(c.dy));
        Frame();
        EXPECT_EQ(player->GetLives() < 3, c.hit);
    }
}

TEST_F(Boss2Test, OnceEverySectionHasPassedTheWreckAndTheHullsEndTakeTheLeftHullsPlace) {
    ShowSprites({0x500, 0x506, 0x509});
    for (std::int32_t passed : {0, 4}) {
        SCOPED_TRACE(passed);
        enemyRoot.ClearChildren();
        auto* hull = Make(3, passed);
        // Where the last slide leaves it, 480 pixels right, so that the wreck is on the field.
        if (passed) hull->slideTimer = CharacterEnemyBoss2::kSlideFrames;
        Calm(1);
        const int x = toPixel(hull->x), y = toPixel(hull->y);
        if (passed == 0) {
            EXPECT_TRUE(DrawnAt(0x500, x, y));
            EXPECT_EQ(DrawnCount(0x506) + DrawnCount(0x509), 0);
        } else {
            EXPECT_TRUE(DrawnAt(0x506, x - 580, y + 104));
            EXPECT_TRUE(DrawnAt(0x509, x - 290, y));
            EXPECT_EQ(DrawnCount(0x500), 0) << "the hull sections left of the end are gone";
        }
    }
}

TEST_F(Boss2Test, SectionPartsSitAtTheirOffsetsAndTheLowerHullIsThePointMirror) {
    for (std::int32_t passed : {0, 3}) {
        SCOPED_TRACE(passed);
        enemyRoot.ClearChildren();
        auto* hull = Make(3, passed);
        Calm(37);  // the hull has swayed and bobbed away from its resting point
        const Point h = hull->GetPosition();
        auto* bottom = PartsOf<CharacterEnemyBoss2Bottom>(*hull).at(0);
        EXPECT_EQ(bottom->GetPosition(), (Point{toFixed(480) - h.x, toFixed(600) - h.y}));

        std::vector<std::pair<int, int>> pots, cores;
        for (auto* p : PartsOf<CharacterEnemyBoss2Pot>(*hull)) {
            pots.emplace_back(toPixel(p->x - h.x), toPixel(p->y - h.y));
            EXPECT_EQ(p->sprite, 0x501);
        }
        for (auto* c : PartsOf<CharacterEnemyBoss2Core>(*hull)) cores.emplace_back(toPixel(c->x - h.x), c->hitPoints);
        if (passed == 0) {
            EXPECT_EQ(pots, (std::vector<std::pair<int, int>>{{170, 20}, {-170, 20}, {-310, 20}, {-650, 20}}));
            EXPECT_EQ(cores, (std::vector<std::pair<int, int>>{{0, 40}, {-480, 999}}));
            EXPECT_TRUE(PartsOf<CharacterEnemyBoss2Miso>(*hull).empty());
        } else {
            EXPECT_EQ(pots, (std::vector<std::pair<int, int>>{{170, 20}, {-170, 20}, {-310, 20}}));
            EXPECT_EQ(cores, (std::vector<std::pair<int, int>>{{0, 40}, {-765, 40}}));
            auto misos = PartsOf<CharacterEnemyBoss2Miso>(*hull);
            ASSERT_EQ(misos.size(), 1u);
            EXPECT_EQ(misos[0]->GetPosition(), (Point{h.x - toFixed(543), h.y + toFixed(136)}));
            EXPECT_EQ(misos[0]->hitPoints, 700);
        }
        // The lower hull carries the mirror image of a middle section, upside down.
        std::vector<std::pair<int, int>> lowPots, lowCores;
        for (auto* p : PartsOf<CharacterEnemyBoss2Pot>(*bottom)) {
            lowPots.emplace_back(toPixel(p->x - bottom->x), toPixel(p->y - bottom->y));
            EXPECT_EQ(p->sprite, 0x504);
        }
        for (auto* c : PartsOf<CharacterEnemyBoss2Core>(*bottom)) {
            lowCores.emplace_back(toPixel(c->x - bottom->x), c->hitPoints);
            EXPECT_EQ(c->sprite, 0x505);
        }
        EXPECT_EQ(lowPots, (std::vector<std::pair<int, int>>{{170, -20}, {-170, -20}, {310, -20}, {650, -20}}));
        EXPECT_EQ(lowCores, (std::vector<std::pair<int, int>>{{0, 40}, {480, 40}}));
    }
}

// The current parts read game mode 4 where the old ones read 2: the shorter laps' lower hull is silent.
TEST_F(Boss2Test, UpsideDownPotsFireUpwardExceptInTheShorterLaps) {
    struct Case {
        int gameMode;
        bool upward;
    };
    for (const Case c : {Case{2, false}, Case{3, true}, Case{4, false}, Case{5, true}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        upper.ClearChildren();
        lower.ClearChildren();
        if (c.gameMode >= 4) {
            Make<CharacterEnemyBoss2b>(c.gameMode);
        } else {
            Make(c.gameMode);
        }
        Calm(128);
        const auto [up, down] = BulletsUpDown();
        EXPECT_GT(down, 0) << "the upper pots fire down";
        EXPECT_EQ(up > 0, c.upward);
    }
}

TEST_F(Boss2Test, SectionsPassEveryNineHundredFramesAndEachSlideBringsTheNext) {
    auto* hull = Make(3);
    auto core = [&] {
        for (auto* c : PartsOf<CharacterEnemyBoss2Core>(*hull))
            if (c->offsetX == 0) return c;
        return static_cast<CharacterEnemyBoss2Core*>(nullptr);
    };
    core()->hitPoints = 7;  // a scratched core, to tell it from the next section's
    Calm(CharacterEnemyBoss2::kAdvanceFrames - 2);
    EXPECT_EQ(hull->sectionsBuilt, 0);
    Calm(1);
    EXPECT_EQ(hull->sectionsBuilt, 1);
    EXPECT_EQ(hull->sliding, 1);
    EXPECT_EQ(hull->advanceTimer, 0);
    const Fixed16 before = hull->x;
    Calm(CharacterEnemyBoss2::kSlideFrames / 2);
    EXPECT_GT(hull->x - before, toFixed(200)) << "the slide carries the hull to the right";
    Calm(CharacterEnemyBoss2::kSlideFrames / 2);
    EXPECT_EQ(hull->sliding, 0);
    EXPECT_EQ(hull->slideTimer, 0);
    ASSERT_NE(core(), nullptr);
    EXPECT_EQ(core()->hitPoints, 40) << "the next section's own core";
}

TEST_F(Boss2Test, MisoWaitsForTheFinalSwingThenRunsItsPhasesAndItsDeathEndsTheBoss) {
    struct Case {
        int gameMode;
        int hitPoints;
        int phase1Frames;
    };
    for (const Case c : {Case{3, 700, 1080}, Case{5, 800, 1020}, Case{4, 450, 1020}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        top.ClearChildren();
        middle.ClearChildren();
        info.SetFlag(FlagStageCleared, false);
        CharacterEnemyBoss2* hull =
            c.gameMode == 3 ? Make(c.gameMode, 3) : Make<CharacterEnemyBoss2b>(c.gameMode, 3);
        CharacterEnemy* miso = nullptr;
        std::int32_t* phase = nullptr;
        CharacterBonusTimer* timer = nullptr;
        if (auto m = PartsOf<CharacterEnemyBoss2Miso>(*hull); !m.empty()) {
            miso = m[0];
            phase = &m[0]->phase;
        } else {
            auto b = PartsOf<CharacterEnemyBoss2bMiso>(*hull);
            ASSERT_EQ(b.size(), 1u);
            miso = b[0];
            phase = &b[0]->phase;
            timer = b[0]->bonusTimer;
            ASSERT_NE(timer, nullptr);
            EXPECT_EQ(b[0]->maxHitPoints, c.hitPoints);
        }
        EXPECT_EQ(miso->hitPoints, c.hitPoints);
        Calm(300);
        EXPECT_EQ(*phase, 0) << "silent until the hull's final swing";
        hull->AdvanceSection();
        EXPECT_EQ(hull->IsLastSection(), 1);
        Calm(1);
        EXPECT_EQ(*phase, 1);
        Calm(c.phase1Frames);
        EXPECT_EQ(*phase, 2);
        miso->hitPoints = 250;
        Calm(1);
        EXPECT_EQ(*phase, 3);

        // Its death: the hull goes 60 frames later and clears the stage.
        miso->hitPoints = 1;
        const std::size_t itemsBefore = middle.GetChildren().size();
        const int explosionsBefore = Explosions();
        EXPECT_EQ(ShootAt(miso->x - toFixed(10), miso->y - toFixed(30)), 1);
        EXPECT_FALSE(miso->alive);
        EXPECT_EQ(hull->dying, 1);
        EXPECT_EQ(Explosions() - explosionsBefore, 40);
        const std::size_t items = middle.GetChildren().size() - itemsBefore;
        if (timer) {
            EXPECT_EQ(static_cast<double>(items), std::ceil(timer->value)) << "the ring the bonus left";
            EXPECT_GT(items, 0u);
        } else {
            EXPECT_EQ(items, 0u);
        }
        Calm(CharacterEnemyBoss2::kDyingFrames);
        EXPECT_FALSE(info.GetFlag(FlagStageCleared));
        const int wreckBefore = Explosions();
        Calm(1);
        EXPECT_TRUE(info.GetFlag(FlagStageCleared));
        EXPECT_EQ(Explosions() - wreckBefore, 4 * 13) << "four rows along the two hulls, every 40 pixels across the field";
        EXPECT_TRUE(enemyRoot.GetChildren().empty()) << "the hull and every part are gone";
    }
}

}  // namespace
