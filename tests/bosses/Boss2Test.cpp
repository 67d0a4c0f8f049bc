// Boss 2 without the play scene: the hull, its lower hull and parts, walked in the layers' order.
#include <gtest/gtest.h>
#include <cmath>
#include <vector>
#include "bosses/Boss2Parts.h"
#include "bosses/CharacterEnemyBoss2.h"
#include "combat/CharacterBonusTimer.h"
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
        EXPECT_EQ(ShootAt(miso->x - toFixed(10), miso->y - toFixed(30)), 1);
        EXPECT_FALSE(miso->alive);
        EXPECT_EQ(hull->dying, 1);
        const std::size_t items = middle.GetChildren().size() - itemsBefore;
        if (timer) {
            EXPECT_EQ(static_cast<double>(items), std::ceil(timer->value)) << "the ring the bonus left";
            EXPECT_GT(items, 0u);
        } else {
            EXPECT_EQ(items, 0u);
        }
        Calm(CharacterEnemyBoss2::kDyingFrames);
        EXPECT_FALSE(info.GetFlag(FlagStageCleared));
        Calm(1);
        EXPECT_TRUE(info.GetFlag(FlagStageCleared));
        EXPECT_TRUE(enemyRoot.GetChildren().empty()) << "the hull and every part are gone";
    }
}

}  // namespace
