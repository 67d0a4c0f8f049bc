#include "bosses/CharacterEnemyMaster.h"
#include <cmath>
#include <vector>
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotBorn.h"
#include "combat/CharacterShotEnemy.h"
#include "bosses/BossFixture.h"

namespace {

class MasterTest : public BossFixture {
protected:
    template <class T>
    int CountIn(Character& tree, bool (*pick)(T*)) {
        int n = 0;
        for (Character* c : tree.GetChildren()) {
            auto* t = dynamic_cast<T*>(c);
            n += t != nullptr && pick(t);
        }
        return n;
    }
};

// No entry: on its first frame it is drawn with the face of the bullet size, and hit within 130
// pixels. The face flashes with the body.
TEST_F(MasterTest, FaceFollowsTheBulletSizeFromTheFirstFrame) {
    ShowSprites({0x500, 0x501, 0x502, 0x503});
    for (bool current : {false, true}) {
        SCOPED_TRACE(current);
        enemyRoot.ClearChildren();
        CharacterEnemy* boss = current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyMasterb>(5))
                                       : Make<CharacterEnemyMaster>(3);
        Frame();
        EXPECT_TRUE(DrawnAt(0x500, 240, 199)) << "the body, under the face drawn one pixel lower";
        EXPECT_TRUE(DrawnAt(0x501, 240, 201)) << "calm in normal bullets";
        info.BeginMode2();
        Frame();
        EXPECT_TRUE(DrawnAt(0x502, 240, 201)) << "large bullets";
        info.BeginMode1();
        Frame();
        EXPECT_TRUE(DrawnAt(0x503, 240, 201)) << "small bullets";
        EXPECT_EQ(ShootAt(boss, 129, 0), 1);
        EXPECT_EQ(ShootAt(boss, 0, -130), 0);
        Frame();
        EXPECT_EQ(DrawnCount(0x503), 0) << "the face flashes";
        Frame();
        Frame();
        EXPECT_TRUE(DrawnAt(0x503, 240, 201));
        while (info.GetMode() != 0) Frame();
        ClearShots();
    }
}

// Phases by hit points and by their own clocks, in both versions.
TEST_F(MasterTest, PhasesFollowHitPointsAndFrames) {
    auto* old = Make<CharacterEnemyMaster>(3);
    EXPECT_EQ(old->hitPoints, 2300);
    old->hitPoints = 2000;
    old->Act();
    EXPECT_EQ(old->phase, 1);
    old->hitPoints = 1999;
    std::vector<int> acts{ActsInPhase(old)};  // the switch to 2
    acts.push_back(ActsInPhase(old));         // phase 2: until after frame 800
    old->hitPoints = 999;
    acts.push_back(ActsInPhase(old));         // the switch to 4
    acts.push_back(ActsInPhase(old));         // phase 4: until after frame 480
    EXPECT_EQ(acts, (std::vector<int>{1, 801, 1, 481}));
    EXPECT_EQ(old->phase, 5);
    old->hitPoints = 0;
    old->Act();
    EXPECT_EQ(old->phase, 5);
    old->hitPoints = -1;
    old->Act();
    EXPECT_EQ(old->phase, 6);

    auto* current = Make<CharacterEnemyMasterb>(5);
    EXPECT_EQ(current->hitPoints, 2700);
    EXPECT_EQ(current->maxHitPoints, 2700);
    EXPECT_DOUBLE_EQ(First<CharacterBonusTimer>(top)->value, 301.0);
    EXPECT_DOUBLE_EQ(First<CharacterBonusTimer>(top)->decrement, 0.03);
    current->hitPoints = 2399;
    acts = {ActsInPhase(current), ActsInPhase(current)};  // the switch; phase 2 until after 899
    current->hitPoints = 1399;
    for (int i = 0; i < 3; ++i) acts.push_back(ActsInPhase(current));  // switch; seeds; spirals
    EXPECT_EQ(acts, (std::vector<int>{1, 900, 1, 871, 441}));
    EXPECT_EQ(current->phase, 6);
    current->hitPoints = -1;
    current->Act();
    EXPECT_EQ(current->phase, 7);
}

// Hit points run below zero without killing it; the death sheds 100 items one every third
// frame, sets flag 1 once, and lets shots pass. The current version's death waits 100 frames,
// then drops the bonus timer's worth at once.
TEST_F(MasterTest, LongDeathSetsTheFlagOnce) {
    auto* old = Make<CharacterEnemyMaster>(3);
    old->phase = 5;
    old->hitPoints = 0;
    EXPECT_EQ(ShootAt(old, 0, 0), 1);
    EXPECT_EQ(old->hitPoints, -1);
    EXPECT_TRUE(old->alive);
    int flagAt = -1, flags = 0;
    for (int f = 1; f <= 600; ++f) {
        old->Act();
        if (f > 1) {
            EXPECT_EQ(ShootAt(old, 0, 0), 0) << "shots pass during the death";
        }
        if (info.GetFlag(FlagStageCleared)) {
            ++flags;
            if (flagAt < 0) {
                flagAt = f;
                EXPECT_EQ(Count<CharacterItemScore>(middle), 100);
            }
            info.SetFlag(FlagStageCleared, false);
        }
    }
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(flagAt, 298);  // items on frames 0, 3, ... 297 of the death
    EXPECT_EQ(Count<CharacterItemScore>(middle), 200) << "items keep coming";
    EXPECT_EQ(old->hitPoints, -1);
    EXPECT_TRUE(old->alive);

    middle.ClearChildren();
    auto* current = Make<CharacterEnemyMasterb>(5);
    First<CharacterBonusTimer>(top)->value = 42.9;
    current->phase = 6;
    current->hitPoints = -5;
    flags = 0;
    for (int f = 1; f <= 300; ++f) {
        current->Act();
        if (f < 100) {
            EXPECT_EQ(Count<CharacterItemScore>(middle), 0);
        }
        if (info.GetFlag(FlagStageCleared)) {
            ++flags;
            EXPECT_EQ(f, 100);
            info.SetFlag(FlagStageCleared, false);
        }
    }
    EXPECT_EQ(flags, 1);
    EXPECT_EQ(Count<CharacterItemScore>(middle), 42);
}

// Seeds lie uniformly over the disc: all inside it, about half inside the half-area circle.
TEST_F(MasterTest, SeedsSpreadOverADisc) {
    auto* boss = Make<CharacterEnemyMasterb>(5);
    boss->ReleaseSeeds(toFixed(240), toFixed(300), 100, 120, 400, 1200);
    int seeds = 0, inner = 0;
    for (Character* c : enemyRoot.GetChildren()) {
        auto* seed = dynamic_cast<CharacterShotBorn*>(c);
        if (!seed) continue;
        ++seeds;
        EXPECT_EQ(seed->angle, 100);
        EXPECT_EQ(seed->speed, 1200);
        EXPECT_EQ(seed->count, 16);
        const std::int32_t d2 = squaredDistance(seed->x, seed->y, toFixed(240), toFixed(300));
        EXPECT_LE(d2, 121 * 121);
        inner += d2 < 120 * 120 / 2;
    }
    EXPECT_EQ(seeds, 400);
    EXPECT_GT(inner, 160);
    EXPECT_LT(inner, 240);
}

// The seed phase: releases every 55 frames from frame 165, a second one past frame 600, and a
// field kept clear from frame 801.
TEST_F(MasterTest, SeedPhaseReleasesOnItsClock) {
    auto* boss = Make<CharacterEnemyMasterb>(5);
    boss->phase = 4;
    std::vector<std::pair<int, int>> releases;
    for (int f = 1; f <= 870; ++f) {
        const std::size_t before = enemyRoot.GetChildren().size();
        boss->Act();
        const std::size_t added = enemyRoot.GetChildren().size() - before;
        if (added) releases.push_back({boss->frame, static_cast<int>(added)});
        if (boss->frame > 800) {
            auto* bullet = new CharacterShotEnemy(&env, &log, &info, 0x210, 2, 1);
            upper.AddChildren(bullet);
            boss->Act();
            EXPECT_FALSE(bullet->alive) << boss->frame;
            upper.ClearChildren();
            ++f;
        }
    }
    ASSERT_FALSE(releases.empty());
    EXPECT_EQ(releases.front(), (std::pair<int, int>{165, 8}));
    for (auto [frame, seeds] : releases) {
        EXPECT_EQ(frame % 55, 0);
        EXPECT_EQ(seeds, frame > 600 ? 12 : 8) << frame;
    }
    EXPECT_EQ(releases.back().first, 770);
}

// The great grid: a warning at every one of the 48 points at frame 192, and at 256 three
// accelerating bullets from each point plus fifty small ones from the top of each column.
TEST_F(MasterTest, GreatGridWarnsThenBursts) {
    for (bool current : {false, true}) {
        SCOPED_TRACE(current);
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss;
        if (current) {
            auto* b = Make<CharacterEnemyMasterb>(5);
            b->phase = 6;
            boss = b;
        } else {
            auto* b = Make<CharacterEnemyMaster>(3);
            b->phase = 5;
            boss = b;
        }
        top.ClearChildren();
        while (boss->frame < 191) {
            boss->Act();
            ClearShots();
        }
        boss->Act();
        EXPECT_EQ(CountIn<CharacterEffect>(top, [](CharacterEffect* e) { return e->shift == 4; }), 48);
        while (boss->frame < 255) {
            boss->Act();
            ClearShots();
        }
        boss->Act();
        EXPECT_EQ(Count<CharacterShotEnemy2>(lower), 144);
        EXPECT_EQ(CountIn<CharacterShotEnemy>(upper, [](CharacterShotEnemy* s) { return s->y == 1; }), 300);
        for (Character* c : lower.GetChildren()) {
            auto* s = static_cast<CharacterShotEnemy2*>(c);
            EXPECT_GE(s->ay, 0) << "downward half-turn only";
        }
    }
}

}  // namespace
