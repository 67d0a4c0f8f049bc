#include "bosses/CharacterEnemyMaster.h"
#include <cmath>
#include <iterator>
#include <vector>
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotBorn.h"
#include "combat/CharacterShotEnemy.h"
#include "bosses/BossFixture.h"
#include "play/Random.h"

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

// Phase 2: one aimed large bullet a frame from frame 180, and the pair of 60-bullet rings (the
// second turned 34 units, slower) on the version's frames.
TEST_F(MasterTest, SweepRingsOnTheirFrames) {
    for (bool current : {false, true}) {
        SCOPED_TRACE(current);
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss = current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyMasterb>(5))
                                       : Make<CharacterEnemyMaster>(3);
        if (current) static_cast<CharacterEnemyMasterb*>(boss)->phase = 2;
        else static_cast<CharacterEnemyMaster*>(boss)->phase = 2;
        std::vector<int> rings;
        int aimed = 0;
        for (int f = 1; f <= 800; ++f) {
            boss->Act();
            aimed += Bullets(bullet::kLargeB);
            const int large = Bullets(bullet::kLargeA);
            if (large > 0) {
                rings.push_back(boss->frame);
                EXPECT_EQ(large, 120);
                int turned = 0;
                for (Character* c : lower.GetChildren()) {
                    auto* b = static_cast<CharacterShotEnemy*>(c);
                    turned += b->vx == (env.sinCos.cosOf(34) * 550) >> 8 && b->vy == (env.sinCos.sinOf(34) * 550) >> 8;
                }
                EXPECT_EQ(turned, 1) << "the second ring starts 34 units on, at 550";
            }
            ClearShots();
        }
        EXPECT_EQ(aimed, 800 - 180 + 1);
        EXPECT_EQ(rings, current ? std::vector<int>({350, 410, 530, 570, 610}) : std::vector<int>({360, 420}));
    }
}

// Phase 3, entered from phase 2 by its own clock: the random spray every frame, the 4 x 5 grid
// warned at frame 448 and bursting (four accelerating bullets a point) 64 frames later; the
// switch frame itself fires no burst.
TEST_F(MasterTest, GridBurstComesAfterItsWarning) {
    auto* boss = Make<CharacterEnemyMaster>(3);
    boss->phase = 2;
    boss->frame = 800;
    boss->Act();
    ASSERT_EQ(boss->phase, 3);
    EXPECT_EQ(Count<CharacterShotEnemy2>(lower), 0);
    ClearShots();
    std::vector<int> warnings, bursts;
    for (int f = 1; f <= 600; ++f) {
        top.ClearChildren();
        boss->Act();
        if (CountIn<CharacterEffect>(top, [](CharacterEffect* e) { return e->shift == 4; }) == 20)
            warnings.push_back(boss->frame);
        if (const int n = Count<CharacterShotEnemy2>(lower)) {
            bursts.push_back(boss->frame);
            EXPECT_EQ(n, 80);
        }
        ClearShots();
    }
    EXPECT_EQ(warnings, std::vector<int>({448}));
    EXPECT_EQ(bursts, std::vector<int>({512}));
}

// The old version's phase 4 (the current one's 5): every 8 frames pairs of large bullets at 1600,
// the arms doubling each 60 frames and each pair turned +r then -r; from frame 241 the fixed ring
// of 64 pairs, an arm at 208 + 64k and then one 32 further.
TEST_F(MasterTest, SpiralsDoubleTheirArmsThenFreeze) {
    auto* boss = Make<CharacterEnemyMaster>(3);
    boss->phase = 4;
    auto bulletAt = [&](std::size_t i) {
        return static_cast<CharacterShotEnemy*>(*std::next(lower.GetChildren().begin(), static_cast<long>(i)));
    };
    auto expectDirection = [&](std::size_t i, int angle) {
        ASSERT_LT(i, lower.GetChildren().size());
        EXPECT_EQ(bulletAt(i)->vx, (env.sinCos.cosOf(angle) * 1600) >> 8) << "bullet " << i << " angle " << angle;
        EXPECT_EQ(bulletAt(i)->vy, (env.sinCos.sinOf(angle) * 1600) >> 8) << "bullet " << i << " angle " << angle;
    };
    struct Case {
        int frame, arms, from, first, second;
    };
    const Case cases[] = {{40, 8, 0, 85, -85},        {64, 16, 128, 4, -4},    {176, 32, 192, 29, -29},
                          {240, 64, 224, 16, -16},    {248, 64, 208, 0, 32},   {480, 64, 208, 0, 32}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.frame);
        while (boss->frame < c.frame - 1) {
            boss->Act();
            if (boss->frame % 8 != 0) {
                EXPECT_EQ(lower.GetChildren().size(), 0u) << boss->frame;
            }
            ClearShots();
        }
        boss->Act();
        ASSERT_EQ(boss->phase, 4);
        ASSERT_EQ(lower.GetChildren().size(), static_cast<std::size_t>(2 * c.arms));
        const int step = 4096 / c.arms;
        for (int k = 0; k < c.arms; ++k) {
            expectDirection(2 * k, c.from + step * k + c.first);
            expectDirection(2 * k + 1, c.from + step * k + c.second);
        }
        ClearShots();
    }
    boss->Act();
    EXPECT_EQ(boss->phase, 5) << "after frame 480";
}

// The seed phase's draws in order: the release point's x, then the ring angle, then for each
// seed its direction and its distance (the square root of a draw below 120 squared).
TEST_F(MasterTest, SeedReleaseDrawsInOrder) {
    for (std::uint32_t seed : {2u, 99u, 31337u}) {
        SCOPED_TRACE(seed);
        enemyRoot.ClearChildren();
        auto* boss = Make<CharacterEnemyMasterb>(5);
        boss->phase = 4;
        boss->frame = 164;
        playrand::srand(seed);
        boss->Act();
        ASSERT_EQ(boss->frame, 165);
        playrand::srand(seed);
        const int sx = 140 + playrand::rand() % 300;
        const int angle = playrand::rand() % 4096;
        std::vector<CharacterShotBorn*> seeds;
        for (Character* c : enemyRoot.GetChildren()) {
            if (auto* b = dynamic_cast<CharacterShotBorn*>(c)) seeds.push_back(b);
        }
        ASSERT_EQ(seeds.size(), 8u);
        for (int i = 0; i < 8; ++i) {
            const int a = playrand::rand() & 4095;
            const int square = playrand::rand() % (120 * 120);
            int d = 0;
            while ((d + 1) * (d + 1) <= square) ++d;
            EXPECT_EQ(seeds[i]->angle, angle);
            EXPECT_EQ(seeds[i]->x, toFixed(sx) + env.sinCos.cosOf(a) * d) << i;
            EXPECT_EQ(seeds[i]->y, toFixed(120) + env.sinCos.sinOf(a) * d) << i;
        }
    }
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
        const std::uint32_t before = playrand::state();
        boss->Act();
        EXPECT_EQ(Count<CharacterShotEnemy2>(lower), 144);
        // Each bullet draws its speed, then its direction: the first of the grid (top row, y 1)
        // and the first of the rain.
        playrand::setState(before);
        const int gridSpeed = playrand::rand() % 128 + 16 + (600 - 1) / 4;
        const int gridAngle = playrand::rand() % 2048;
        for (int i = 0; i < 2 * 143; ++i) playrand::rand();
        const int rainSpeed = 32 + playrand::rand() % 320;
        const int rainAngle = playrand::rand() % 2048;
        auto* firstGrid = static_cast<CharacterShotEnemy2*>(lower.GetChildren().front());
        EXPECT_EQ(firstGrid->ax, (2 * env.sinCos.cosOf(gridAngle) * gridSpeed) >> 8);
        EXPECT_EQ(firstGrid->ay, (2 * env.sinCos.sinOf(gridAngle) * gridSpeed) >> 8);
        auto* firstRain = static_cast<CharacterShotEnemy*>(upper.GetChildren().front());
        EXPECT_EQ(firstRain->vx, (env.sinCos.cosOf(rainAngle) * rainSpeed) >> 8);
        EXPECT_EQ(firstRain->vy, (env.sinCos.sinOf(rainAngle) * rainSpeed) >> 8);
        EXPECT_EQ(CountIn<CharacterShotEnemy>(upper, [](CharacterShotEnemy* s) { return s->y == 1; }), 300);
        for (Character* c : lower.GetChildren()) {
            auto* s = static_cast<CharacterShotEnemy2*>(c);
            EXPECT_GE(s->ay, 0) << "downward half-turn only";
        }
    }
}

}  // namespace
