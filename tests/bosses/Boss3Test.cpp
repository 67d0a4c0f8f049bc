// Boss 3 without the play scene: the face, its cheeks, and what two of them do to each other.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>
#include "bosses/CharacterEnemyBoss3.h"
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEnemyTane.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "bosses/BossFixture.h"
#include "play/PlayHarness.h"

namespace {

class Boss3Test : public BossFixture {
protected:
    template <class Boss>
    Boss* Make(int gameMode, int px = 240, int py = 200) {
        info.SetGameMode(gameMode);
        auto* boss = Spawn(new Boss(&env, &log, &info), px, py);
        PlaceShip(30, 580);
        return boss;
    }
    template <class Boss>
    void Skip(Boss* boss, int acts) {
        for (int i = 0; i < acts; ++i) {
            player->invulnerable = 1000;
            boss->UpdateTree();
        }
    }
    std::int32_t ShootAt(CharacterEnemy& target, Fixed16 px, Fixed16 py) {
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(px, py);
        return target.HitByShot(shot);
    }
    // Runs check on a new face of the current or the old version.
    template <class Check>
    void WithFace(bool current, int gameMode, Check check) {
        if (current) {
            check(Make<CharacterEnemyBoss3b>(gameMode));
        } else {
            check(Make<CharacterEnemyBoss3>(gameMode));
        }
    }
    // Puts the boss in a phase at its frame 0, holding its place with no new target due, and acts.
    template <class Boss>
    void RunPhase(Boss* boss, int phase, int acts) {
        boss->phase = phase;
        boss->burstTimer = 1000;
        boss->targetX = boss->x;
        boss->targetY = boss->y;
        boss->frame = 0;
        Skip(boss, acts);
    }
    template <class Boss>
    void Kill(Boss* boss) {
        boss->hitPoints = 1;
        ShootAt(*boss, boss->x, boss->y + toFixed(48));
    }
    template <class T>
    static std::vector<T*> All(Character& parent) {
        std::vector<T*> out;
        for (Character* c : parent.GetChildren())
            if (auto* t = dynamic_cast<T*>(c)) out.push_back(t);
        return out;
    }
};

TEST_F(Boss3Test, CheeksComeAfterTheEntryAndAShotBesideTheCoreHurtsOnlyACheek) {
    auto* boss = Make<CharacterEnemyBoss3>(3);
    Skip(boss, CharacterEnemyBoss3::kEntryFrames);
    EXPECT_TRUE(All<CharacterEnemyBoss3Hoppe>(*boss).empty()) << "nothing during the entry";
    Skip(boss, 1);
    const auto cheeks = All<CharacterEnemyBoss3Hoppe>(*boss);
    ASSERT_EQ(cheeks.size(), 2u);
    EXPECT_EQ(cheeks[0]->GetPosition(), (Point{boss->x + toFixed(82), boss->y + toFixed(20)}));
    EXPECT_EQ(cheeks[0]->sprite, 0x520);
    EXPECT_EQ(cheeks[0]->flashSprite, 0x521);
    EXPECT_EQ(cheeks[1]->GetPosition(), (Point{boss->x - toFixed(82), boss->y + toFixed(20)}));
    EXPECT_EQ(cheeks[1]->sprite, 0x510);
    EXPECT_EQ(cheeks[1]->flashSprite, 0x511);

    // The cheek's 40-pixel circle lies outside the face's 50-pixel core.
    EXPECT_EQ(ShootAt(*boss, cheeks[0]->x + toFixed(39), cheeks[0]->y), 1);
    EXPECT_EQ(cheeks[0]->hitPoints, 99);
    EXPECT_EQ(cheeks[1]->hitPoints, 100);
    EXPECT_EQ(boss->hitPoints, 800);
    EXPECT_EQ(ShootAt(*boss, boss->x, boss->y + toFixed(48 + 49)), 1);
    EXPECT_EQ(boss->hitPoints, 799);
    EXPECT_EQ(cheeks[0]->hitPoints, 99);
}

TEST_F(Boss3Test, TheFirstDefeatOfAPairSetsFlagThreeAndOnlyTheSecondClearsTheStage) {
    for (const int gameMode : {3, 5}) {
        SCOPED_TRACE(gameMode);
        enemyRoot.ClearChildren();
        middle.ClearChildren();
        info.ClearFlags();
        const bool current = gameMode == 5;
        CharacterEnemy* a = current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyBoss3b>(gameMode))
                                    : Make<CharacterEnemyBoss3>(gameMode);
        CharacterEnemy* b = current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyBoss3b>(gameMode, 240, 400))
                                    : Make<CharacterEnemyBoss3>(gameMode, 240, 400);
        Skip(a, CharacterEnemyBoss3::kEntryFrames + 1);
        Skip(b, CharacterEnemyBoss3::kEntryFrames + 1);
        const CharacterBonusTimer* timer = current ? static_cast<CharacterEnemyBoss3b*>(a)->bonusTimer : nullptr;
        Kill(a);
        EXPECT_FALSE(a->alive);
        EXPECT_TRUE(info.GetFlag(FlagFirstBoss3Down));
        EXPECT_FALSE(info.GetFlag(FlagStageCleared));
        EXPECT_EQ(b->hitPoints, current ? 650 : 800);
        // The old version's burst rings 50 items and the boss 30 more; the current one rings
        // what its bonus timer has left.
        const std::size_t items = middle.GetChildren().size();
        if (current) {
            ASSERT_NE(timer, nullptr);
            EXPECT_EQ(static_cast<double>(items), std::ceil(timer->value));
        } else {
            EXPECT_EQ(items, 80u);
        }
        Kill(b);
        EXPECT_TRUE(info.GetFlag(FlagStageCleared));
    }
}

TEST_F(Boss3Test, ADestroyedCheekLeavesSeedsOrItemsByMode) {
    struct Case {
        int gameMode;
        bool current;
        int seeds;
        const char* seedClass;
    };
    const Case cases[] = {{2, false, 0, ""},
                          {3, false, 15, "CharacterEnemyTane"},
                          {4, true, 0, ""},
                          {5, true, 15, "CharacterEnemyTaneb"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        middle.ClearChildren();
        CharacterEnemy* boss = c.current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyBoss3b>(c.gameMode))
                                         : Make<CharacterEnemyBoss3>(c.gameMode);
        Skip(boss, CharacterEnemyBoss3::kEntryFrames + 1);
        auto* cheek = All<CharacterEnemyBoss3Hoppe>(*boss).at(0);
        cheek->hitPoints = 1;
        playrand::srand(5);
        int draws[4];
        for (int& d : draws) d = playrand::rand();
        playrand::srand(5);
        EXPECT_EQ(ShootAt(*boss, cheek->x, cheek->y), 1);
        EXPECT_FALSE(cheek->alive);
        EXPECT_EQ(boss->hitPoints, c.current ? (c.gameMode == 5 ? 650 : 350) : 800) << "the face is unhurt";
        const auto seeds = All<CharacterEnemyTane>(enemyRoot);
        EXPECT_EQ(static_cast<int>(seeds.size()), c.seeds);
        for (auto* s : seeds) {
            EXPECT_EQ(ClassNameOf(*s), c.seedClass);
            EXPECT_LE(std::abs(s->x - cheek->x), toFixed(30));
            EXPECT_LE(std::abs(s->y - cheek->y), toFixed(30));
            // Thrown down the field, into a band from 50 left of the cheek to 150 right of it.
            EXPECT_GE(s->targetX, cheek->x - toFixed(50));
            EXPECT_LT(s->targetX, cheek->x + toFixed(150));
            EXPECT_GE(s->targetY, cheek->y + toFixed(200));
            EXPECT_LT(s->targetY, cheek->y + toFixed(400));
        }
        if (!seeds.empty()) {
            // The draws of one seed: its point's x and y, then its target's x and y.
            const int dx = draws[0] % 60 - 30, dy = draws[1] % 60 - 30;
            EXPECT_EQ(seeds[0]->GetPosition(), (Point{cheek->x + toFixed(dx), cheek->y + toFixed(dy)}));
            EXPECT_EQ(seeds[0]->targetX, cheek->x - toFixed(50) + toFixed(draws[2] % 200));
            EXPECT_EQ(seeds[0]->targetY, cheek->y + toFixed(200) + toFixed(draws[3] % 200));
        }
        EXPECT_EQ(middle.GetChildren().size(), c.seeds ? 0u : 15u) << "items where there are no seeds";
    }
}

TEST_F(Boss3Test, TwoCurrentBossesTakeTurnsForTheGaugeAndTimerPlaces) {
    auto* first = Make<CharacterEnemyBoss3b>(5);
    auto* second = Make<CharacterEnemyBoss3b>(5);
    ASSERT_NE(first->bonusTimer, nullptr);
    ASSERT_NE(second->bonusTimer, nullptr);
    EXPECT_EQ(first->gaugeY, toFixed(38));
    EXPECT_EQ(first->bonusTimer->GetPosition(), (Point{toFixed(306), toFixed(16)}));
    EXPECT_EQ(second->gaugeY, toFixed(48));
    EXPECT_EQ(second->bonusTimer->GetPosition(), (Point{toFixed(106), toFixed(16)}));
    EXPECT_FALSE(info.GetFlag(FlagBoss3GaugeMoved)) << "the next pair starts over";
    EXPECT_DOUBLE_EQ(first->bonusTimer->value, 51.0);
    auto* third = Make<CharacterEnemyBoss3b>(4);
    EXPECT_EQ(third->gaugeY, toFixed(38));
    EXPECT_DOUBLE_EQ(third->bonusTimer->value, 41.0);
    EXPECT_EQ(third->maxHitPoints, 350);
}

TEST_F(Boss3Test, PhaseOneThrowsAFlowerRingEverySixtyFourFrames) {
    struct Case {
        int gameMode;
        bool current;
        int bullets;
    };
    // The current boss of the shorter lap starts with 350 hit points, under the 550 at which
    // phase 2 begins: it never throws these rings.
    for (const Case c : {Case{2, false, 15}, Case{3, false, 30}, Case{4, true, 0}, Case{5, true, 30}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss = c.current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyBoss3b>(c.gameMode))
                                         : Make<CharacterEnemyBoss3>(c.gameMode);
        Skip(boss, CharacterEnemyBoss3::kEntryFrames + 63);
        EXPECT_EQ(Bullets(bullet::kLargeA), 0);
        Skip(boss, 1);
        EXPECT_EQ(Bullets(bullet::kLargeA), c.bullets);
        if (c.bullets == 0) continue;
        // The ring's speeds swell and shrink around it, from 620 down to 380 (the 15-bullet ring
        // of the shorter lap misses the slowest point and bottoms out at 440).
        int slowest = 1 << 30, fastest = 0;
        for (Character* ch : lower.GetChildren()) {
            auto* s = static_cast<CharacterShotEnemy*>(ch);
            const int speed2 = (s->vx >> 8) * (s->vx >> 8) + (s->vy >> 8) * (s->vy >> 8);
            slowest = std::min(slowest, speed2);
            fastest = std::max(fastest, speed2);
        }
        EXPECT_NEAR(std::sqrt(fastest), 620, 2);
        EXPECT_NEAR(std::sqrt(slowest), c.bullets == 15 ? 440 : 380, 2);
    }
}

TEST_F(Boss3Test, PhaseTwoCurtainsHaveANarrowerMiddleThanTheFirstBosss) {
    struct Case {
        int gameMode;
        bool current;
        int bullets;  // 10 + 10 slow at the sides, 8 fast inside, and the middle
    };
    for (const Case c : {Case{2, false, 28}, Case{3, false, 31}, Case{4, true, 28}, Case{5, true, 31}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss = c.current ? static_cast<CharacterEnemy*>(Make<CharacterEnemyBoss3b>(c.gameMode))
                                         : Make<CharacterEnemyBoss3>(c.gameMode);
        boss->hitPoints = 549;
        Skip(boss, CharacterEnemyBoss3::kEntryFrames + 1);  // phase 2 from here, its frame at 0
        ClearShots();
        Skip(boss, 127);
        EXPECT_EQ(Bullets(bullet::kLargeB), 0);
        Skip(boss, 1);  // frame 128: the first curtain
        EXPECT_EQ(Bullets(bullet::kLargeB), c.bullets);
    }
}

TEST_F(Boss3Test, ThePhaseThreeFanByVersionAndMode) {
    struct Case {
        int gameMode;
        bool current;
        int bullets;
    };
    // Old: one bullet in each of 11 directions. Current: none in the shorter lap; in the longer
    // one eight bullets in each of 6 directions and seven in each of the 5 between them.
    for (const Case c : {Case{2, false, 11}, Case{3, false, 11}, Case{4, true, 0}, Case{5, true, 6 * 8 + 5 * 7}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        ClearShots();
        auto check = [&](auto* face) {
            Skip(face, CharacterEnemyBoss3::kEntryFrames + 1);
            ClearShots();
            RunPhase(face, 3, 511);
            EXPECT_EQ(Bullets(bullet::kLargeB), 0);
            Skip(face, 1);  // frame 512
            EXPECT_EQ(Bullets(bullet::kLargeB), c.bullets);
        };
        WithFace(c.current, c.gameMode, check);
    }
}

TEST_F(Boss3Test, TheWholeFaceCrushesTheShipWithin140Pixels) {
    auto* face = Make<CharacterEnemyBoss3>(3);
    Skip(face, CharacterEnemyBoss3::kEntryFrames + 1);
    struct Case {
        int dx, dy;  // from the face's position; it moves a pixel or two a frame
        bool crushed;
    };
    for (const Case c : {Case{-134, 0, true}, Case{0, 134, true}, Case{95, 95, true}, Case{0, -146, false},
                         Case{146, 0, false}, Case{103, 103, false}}) {
        SCOPED_TRACE(testing::Message() << c.dx << ", " << c.dy);
        player->SetLives(3);
        player->invulnerable = 0;
        player->SetPosition(face->x + toFixed(c.dx), face->y + toFixed(c.dy));
        face->UpdateTree();
        EXPECT_EQ(player->GetLives() < 3, c.crushed);
    }
}

// A target is drawn x first, then y; the current boss keeps to a narrower band of x.
TEST_F(Boss3Test, PhaseOneTargetsByVersion) {
    struct Case {
        int gameMode;
        bool current;
        int xFrom, xCount;
    };
    for (const Case c : {Case{3, false, 100, 280}, Case{5, true, 140, 200}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        auto check = [&](auto* face) {
            Skip(face, CharacterEnemyBoss3::kEntryFrames);
            playrand::srand(11);
            const int x = playrand::rand(), y = playrand::rand();
            playrand::srand(11);
            Skip(face, 1);  // phase 1's first frame picks a target
            EXPECT_EQ(face->targetX, toFixed(c.xFrom + x % c.xCount));
            EXPECT_EQ(face->targetY, toFixed(50 + y % 200));
        };
        WithFace(c.current, c.gameMode, check);
    }
}

TEST_F(Boss3Test, TheSurvivorOfAPairDoublesItsSprayAndTheCurrentOneQuickensItsStreams) {
    struct Case {
        int gameMode;
        bool current, survivor;
        int volleys;  // phase 4's twin streams in frames 1 to 308 (they start at frame 120)
    };
    const Case cases[] = {
        {2, false, false, 9},   // every 22nd frame
        {3, false, false, 18},  // every 11th
        {3, false, true, 18},   // the old survivor fires no faster
        {4, true, false, 9},   {4, true, true, 18}, {5, true, false, 18}, {5, true, true, 27},  // every 7th
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.gameMode << (c.survivor ? ", survivor" : ""));
        enemyRoot.ClearChildren();
        ClearShots();
        info.SetFlag(FlagFirstBoss3Down, c.survivor);
        auto check = [&](auto* face) {
            Skip(face, CharacterEnemyBoss3::kEntryFrames + 1);
            // Phase 3's side sprays (from frame 1, clear of the big fan on frame 0).
            RunPhase(face, 3, 60);
            const int small = Bullets(bullet::kSmallA), large = Bullets(bullet::kLargeA);
            EXPECT_GT(small, 0);
            EXPECT_EQ(large, c.survivor ? small : 0);
            ClearShots();
            RunPhase(face, 4, 308);
            EXPECT_EQ(Bullets(bullet::kSmallB) / 2, c.volleys);
        };
        WithFace(c.current, c.gameMode, check);
    }
}

}  // namespace
