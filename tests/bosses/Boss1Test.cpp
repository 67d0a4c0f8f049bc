#include "bosses/CharacterEnemyBoss1.h"
#include <algorithm>
#include <cmath>
#include <vector>
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "bosses/BossFixture.h"

namespace {

class Boss1Test : public BossFixture {
protected:
    // Unlike the shared fixture's, this ship is low on the left and can be hit: the entry test
    // counts its lives.
    template <class Boss>
    Boss* Make(int gameMode) {
        info.SetGameMode(gameMode);
        auto* boss = Spawn(new Boss(&env, &log, &info), 240, 200);
        PlaceShip(30, 580);
        return boss;
    }
    // A shot at the boss's core (48 pixels below its centre).
    std::int32_t ShootCore(CharacterEnemy* boss) { return ShootAt(boss, 0, 48); }
    template <class Boss>
    void SkipEntry(Boss* boss) {
        for (int i = 0; i < Boss::kEntryFrames; ++i) boss->Act();
    }
    // A boss of either version, past its entry and far from the ship, for the firing tests.
    Boss1Body<CharacterEnemy>* MakeOld(int gameMode) {
        auto* boss = Make<CharacterEnemyBoss1>(gameMode);
        SkipEntry(boss);
        return boss;
    }
    Boss1Body<CharacterEnemyBoss>* MakeCurrent(int gameMode) {
        auto* boss = Make<CharacterEnemyBoss1b>(gameMode);
        SkipEntry(boss);
        return boss;
    }
    // MakeOld or MakeCurrent, then `setup` with the boss as its own version's type (a generic
    // lambda sets the fields both versions have).
    template <class Setup>
    CharacterEnemy* MakeEither(bool current, int gameMode, Setup setup) {
        if (current) {
            auto* boss = MakeCurrent(gameMode);
            setup(boss);
            return boss;
        }
        auto* boss = MakeOld(gameMode);
        setup(boss);
        return boss;
    }
    int BulletsAt(Fixed16 px, Fixed16 py) {
        int n = 0;
        for (Character* tree : {static_cast<Character*>(&upper), static_cast<Character*>(&lower)}) {
            for (Character* c : tree->GetChildren()) n += c->x == px && c->y == py;
        }
        return n;
    }
    // The shared fixture's, with the ship kept out of harm.
    template <class Boss>
    int ActsInPhase(Boss* boss) {
        player->invulnerable = 1 << 20;
        return BossFixture::ActsInPhase(boss);
    }
};

TEST_F(Boss1Test, EntryFramesAreHarmlessAndInvulnerable) {
    ShowSprites({0x500});
    auto* boss = Make<CharacterEnemyBoss1>(3);
    PlaceShip(240, 252);  // on the body
    for (int i = 0; i < 95; ++i) {
        Frame();
        EXPECT_EQ(ShootCore(boss), 0);
    }
    Frame();  // the 96th waiting frame: from here on shots count
    EXPECT_EQ(DrawnCount(0x500), 0);
    EXPECT_EQ(boss->hitPoints, 1400);
    EXPECT_EQ(player->GetLives(), 3);
    EXPECT_EQ(boss->entryTimer, 96);
    EXPECT_EQ(boss->GetPosition(), (Point{toFixed(240), toFixed(200)}));
    Frame();
    EXPECT_TRUE(DrawnAt(0x500, 240, 200));
    EXPECT_EQ(player->GetLives(), 2);  // the body hurts within 42 pixels of (0, +52)
    EXPECT_EQ(ShootCore(boss), 1);
    EXPECT_EQ(boss->hitPoints, 1399);
}

TEST_F(Boss1Test, CoreIsHitWithinFiftyPixels) {
    auto* boss = Make<CharacterEnemyBoss1>(3);
    SkipEntry(boss);
    CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
    shot.SetPosition(boss->x + toFixed(50), boss->y + toFixed(48));
    EXPECT_EQ(boss->HitByShot(shot), 0);
    shot.SetPosition(boss->x + toFixed(49), boss->y + toFixed(48));
    EXPECT_EQ(boss->HitByShot(shot), 1);
    EXPECT_EQ(boss->flashTimer, 2);
}

TEST_F(Boss1Test, PhaseTwoBeginsBelowTheVersionsThreshold) {
    struct Case {
        bool current;
        int gameMode, hitPoints, threshold;
    };
    const Case cases[] = {{false, 2, 1400, 1000}, {false, 3, 1400, 1000}, {true, 5, 1400, 1000}, {true, 4, 700, 500}};
    for (const Case& c : cases) {
        enemyRoot.ClearChildren();
        int* phase;
        CharacterEnemy* boss = MakeEither(c.current, c.gameMode, [&](auto* b) { phase = &b->phase; });
        if (c.current) {
            EXPECT_EQ(static_cast<CharacterEnemyBoss*>(boss)->maxHitPoints, c.hitPoints);
        }
        EXPECT_EQ(boss->hitPoints, c.hitPoints);
        boss->hitPoints = c.threshold;
        boss->Act();
        EXPECT_EQ(*phase, 1) << c.gameMode;
        auto* bullet = new CharacterShotEnemy(&env, &log, &info, 0x210, 2, 1);
        upper.AddChildren(bullet);
        EXPECT_EQ(ShootCore(boss), 1);
        boss->Act();
        EXPECT_EQ(*phase, 2) << c.gameMode;
        EXPECT_EQ(boss->frame, 0);
        EXPECT_FALSE(bullet->alive);  // the field is cleared for the new phase
        ClearShots();
    }
}

TEST_F(Boss1Test, LaterPhasesFollowFramesAndTargets) {
    struct Case {
        bool current;
        int phase2Acts;
    };
    for (const Case& c : {Case{false, 601}, Case{true, 201}}) {
        enemyRoot.ClearChildren();
        std::vector<int> acts;
        auto run = [&](auto* boss) {
            SkipEntry(boss);
            boss->hitPoints = 400;
            acts.push_back(ActsInPhase(boss));  // phase 1 ends at once
            for (int i = 0; i < 4; ++i) acts.push_back(ActsInPhase(boss));
            EXPECT_EQ(boss->phase, 4);
        };
        if (c.current) {
            run(Make<CharacterEnemyBoss1b>(5));
        } else {
            run(Make<CharacterEnemyBoss1>(3));
        }
        // Phase 2 until its last frame; phase 3 leaves on its fifth target (every 240 frames from
        // its first act), phase 4 on its third. Back in phase 3 the target clock runs on from
        // phase 4, so the first new target comes 240 frames in.
        const std::vector<int> expected{1, c.phase2Acts, 961, 720, 1200};
        EXPECT_EQ(acts, expected) << (c.current ? "current" : "old");
    }
}

// The nudge towards the ship: eight pushes at first, then nine (turn timer 0 down to -8) every
// 128 frames.
TEST_F(Boss1Test, PhaseOneNudgesTowardsTheShipInShortRuns) {
    for (int side : {-1, 1}) {
        enemyRoot.ClearChildren();
        auto* boss = MakeOld(3);
        PlaceShip(240 + 200 * side, 580);
        std::vector<int> pushes;
        while (boss->frame < 270) {
            const Fixed16 before = boss->vx;
            ClearShots();
            boss->Act();
            const Fixed16 pushed = boss->vx - before * 15 / 16;
            if (pushed != 0) {
                pushes.push_back(boss->frame);
                EXPECT_EQ(pushed, 8192 * 15 / 16 * side) << boss->frame;
            }
        }
        std::vector<int> expected;
        for (int f = 1; f <= 8; ++f) expected.push_back(f);
        for (int f = 128; f <= 136; ++f) expected.push_back(f);
        for (int f = 256; f <= 264; ++f) expected.push_back(f);
        EXPECT_EQ(pushes, expected) << side;
    }
}

// Both guns sit 58 pixels either side of the centre and 71 below it; a gun's volley is nine
// directions of three bullets, four where the mode adds the fast large one.
TEST_F(Boss1Test, PhaseOneVolleyFansFromBothGuns) {
    struct Case {
        bool current;
        int gameMode, smallA, largeA;
    };
    const Case cases[] = {{false, 2, 18, 9}, {false, 3, 18, 18}, {true, 4, 18, 9}, {true, 5, 18, 18}};
    for (const Case& c : cases) {
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss = MakeEither(c.current, c.gameMode, [](auto* b) {
            b->burstTimer = 17;  // the next step brings it to 16: a volley
            b->volleys = 1;
        });
        boss->SetPosition(toFixed(240), toFixed(90));
        ClearShots();
        boss->Act();
        const int perGun = (c.smallA + c.largeA);
        EXPECT_EQ(BulletsAt(toFixed(240 + 58), toFixed(90 + 71)), perGun) << c.gameMode;
        EXPECT_EQ(BulletsAt(toFixed(240 - 58), toFixed(90 + 71)), perGun) << c.gameMode;
        EXPECT_EQ(Bullets(0x210), 2 * c.smallA) << c.gameMode;
        EXPECT_EQ(Bullets(0x218), 2 * c.largeA) << c.gameMode;
        EXPECT_EQ(Count<CharacterEffect>(top), 2) << c.gameMode;  // a muzzle flash at each gun
    }
}

// Curtains come every 128 frames up to frame 600 in the old version, every 64 up to 200 in the
// current one, twice as fast; the shorter lap leaves a single bullet in the middle gap.
TEST_F(Boss1Test, PhaseTwoCurtainsByVersion) {
    struct Case {
        bool current;
        int gameMode;
        std::vector<int> frames;
        int bullets;
        double slowest, fastest;  // pixels a frame
    };
    const Case cases[] = {
        {false, 2, {128, 256, 384, 512}, 29, 200 / 256.0, 400 / 256.0},
        {false, 3, {128, 256, 384, 512}, 33, 200 / 256.0, 400 / 256.0},
        {true, 4, {64, 128, 192}, 29, 400 / 256.0, 800 / 256.0},
        {true, 5, {64, 128, 192}, 33, 400 / 256.0, 800 / 256.0},
    };
    for (const Case& c : cases) {
        enemyRoot.ClearChildren();
        int* phase;
        CharacterEnemy* boss = MakeEither(c.current, c.gameMode, [&](auto* b) {
            b->phase = 2;
            phase = &b->phase;
        });
        boss->frame = 0;
        std::vector<int> fired;
        double slowest = 1e9, fastest = 0;
        while (*phase == 2 && boss->frame < 2000) {
            ClearShots();
            boss->Act();
            if (lower.GetChildren().empty()) continue;
            fired.push_back(boss->frame);
            EXPECT_EQ(Bullets(0x21C), c.bullets) << c.gameMode << " frame " << boss->frame;
            for (Character* b : lower.GetChildren()) {
                auto* shot = static_cast<CharacterShotEnemy*>(b);
                const double speed = std::hypot(shot->vx / 65536.0, shot->vy / 65536.0);
                slowest = std::min(slowest, speed);
                fastest = std::max(fastest, speed);
            }
        }
        EXPECT_EQ(fired, c.frames) << c.gameMode;
        EXPECT_NEAR(slowest, c.slowest, 0.01) << c.gameMode;
        EXPECT_NEAR(fastest, c.fastest, 0.01) << c.gameMode;
    }
}

// The side sprays pass the rate gate on these frames (the first 24 of the left gun's sweep).
TEST_F(Boss1Test, PhaseThreeSprayRateGateByVersion) {
    struct Case {
        bool current;
        int gameMode;
        std::vector<int> frames;
    };
    const Case cases[] = {
        {false, 2, {8, 16, 24}},
        {false, 3, {4, 8, 12, 16, 20, 24}},
        {true, 4, {8, 16, 24}},
        {true, 5, {3, 7, 9, 11, 15, 19, 21, 23}},  // odd frames but those of 1 and 5 mod 12
    };
    for (const Case& c : cases) {
        enemyRoot.ClearChildren();
        CharacterEnemy* boss = MakeEither(c.current, c.gameMode, [](auto* b) {
            b->phase = 3;
            b->burstTimer = 1000;  // no new target during the test
        });
        boss->frame = 0;
        std::vector<int> fired;
        for (int i = 0; i < 24; ++i) {
            ClearShots();
            boss->Act();
            const int n = Bullets(0x210);
            if (n == 0) continue;
            fired.push_back(boss->frame);
            EXPECT_EQ(n, 1);
            EXPECT_EQ(BulletsAt(boss->x - toFixed(58), boss->y + toFixed(71)), 1) << "from the left gun";
        }
        EXPECT_EQ(fired, c.frames) << c.gameMode;
    }
}

// Phase 3 runs to its end on the frame it hands over to phase 4: with the frame count back at 0
// the big fan (every 512 frames) goes off once more, and the left gun's spray where the rate gate
// lets frame 0 through.
TEST_F(Boss1Test, LeavingPhaseThreeThrowsTheBigFanOnceMore) {
    struct Case {
        bool current;
        int gameMode, fan, spray;
    };
    const Case cases[] = {{false, 2, 11, 1}, {false, 3, 11, 1}, {true, 4, 6 * 8, 1}, {true, 5, 6 * 8 + 5 * 7, 0}};
    for (const Case& c : cases) {
        enemyRoot.ClearChildren();
        int* phase;
        CharacterEnemy* boss = MakeEither(c.current, c.gameMode, [&](auto* b) {
            b->phase = 3;
            b->volleys = 4;
            b->burstTimer = 1;  // the fifth target is due
            phase = &b->phase;
        });
        boss->frame = 100;
        ClearShots();
        boss->Act();
        EXPECT_EQ(*phase, 4) << c.gameMode;
        EXPECT_EQ(boss->frame, 0) << c.gameMode;
        EXPECT_EQ(Bullets(0x21C), c.fan) << c.gameMode;
        EXPECT_EQ(Bullets(0x210), c.spray) << c.gameMode;
    }
}

TEST_F(Boss1Test, OldBossDeathClearsTheStageAndRingsItems) {
    auto* boss = Make<CharacterEnemyBoss1>(3);
    SkipEntry(boss);
    auto* bullet = new CharacterShotEnemy(&env, &log, &info, 0x218, 8, 1);
    lower.AddChildren(bullet);
    boss->hitPoints = 1;
    EXPECT_EQ(ShootCore(boss), 1);
    EXPECT_FALSE(boss->alive);
    EXPECT_TRUE(info.GetFlag(FlagStageCleared));
    EXPECT_FALSE(bullet->alive);
    // The burst's ring of 50 (old-version modes) and the boss's own 30.
    EXPECT_EQ(Count<CharacterItemScore>(middle), 80);
    EXPECT_EQ(ShootCore(boss), 0);
}

TEST_F(Boss1Test, CurrentBossRingIsWhatTheBonusTimerHasLeft) {
    struct Case {
        double left;
        int items;
    };
    const Case cases[] = {{57.3, 58}, {57.0, 57}, {0.0, 0}};
    for (const Case& c : cases) {
        top.ClearChildren();
        middle.ClearChildren();
        enemyRoot.ClearChildren();
        auto* boss = Make<CharacterEnemyBoss1b>(5);
        ASSERT_EQ(Count<CharacterBonusTimer>(top), 1);
        auto* timer = First<CharacterBonusTimer>(top);
        EXPECT_DOUBLE_EQ(timer->value, 81.0);
        SkipEntry(boss);
        timer->value = c.left;
        boss->hitPoints = 1;
        EXPECT_EQ(ShootCore(boss), 1);
        EXPECT_TRUE(info.GetFlag(FlagStageCleared));
        EXPECT_EQ(Count<CharacterItemScore>(middle), c.items) << c.left;
        EXPECT_EQ(timer->state, 0);  // stopped: the display stays for 180 frames
        info.ClearFlags();
    }
}

TEST_F(Boss1Test, BonusTimerStartsByModeAndIsReplacedWhenStartedAgain) {
    auto* boss = Make<CharacterEnemyBoss1b>(4);
    auto* first = First<CharacterBonusTimer>(top);
    ASSERT_NE(first, nullptr);
    EXPECT_DOUBLE_EQ(first->value, 61.0);
    EXPECT_DOUBLE_EQ(first->decrement, 0.01);
    boss->StartBonusTimer(10.0, 1.0);
    EXPECT_FALSE(first->alive);
    EXPECT_EQ(top.GetChildren().size(), 2u);
    // A timer gone from the layer (here: cleared) is not touched when the boss dies.
    top.ClearChildren();
    SkipEntry(boss);
    boss->hitPoints = 1;
    EXPECT_EQ(ShootCore(boss), 1);
    EXPECT_EQ(Count<CharacterItemScore>(middle), 0);
}

TEST_F(Boss1Test, GaugeBarFollowsHitPoints) {
    ShowSprites({0x2A0});
    auto* boss = Make<CharacterEnemyBoss1b>(5);
    SkipEntry(boss);
    boss->hitPoints = 700;  // half
    Frame();
    const SpriteDef* bar = env.draw.sprite(673);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->srcRight, 128);
    EXPECT_EQ(bar->halfWidth, 64);
    EXPECT_EQ(bar->surface, 2);
    EXPECT_EQ(bar->srcTop, 400);
    EXPECT_EQ(bar->srcBottom, 416);
    EXPECT_TRUE(DrawnAt(0x2A0, 240, 48));
    boss->hitPoints = 1400;
    Frame();
    EXPECT_EQ(env.draw.sprite(673)->srcRight, 248);
}

}  // namespace
