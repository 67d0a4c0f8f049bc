#include "bosses/CharacterEnemyBoss1.h"
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "combat/CombatFixture.h"

namespace {

class Boss1Test : public CombatFixture {
protected:
    template <class Boss>
    Boss* Make(int gameMode) {
        info.SetGameMode(gameMode);
        auto* boss = Spawn(new Boss(&env, &log, &info), 240, 200);
        PlaceShip(30, 580);
        return boss;
    }
    // A shot at the boss's core (48 pixels below its centre).
    std::int32_t ShootCore(CharacterEnemy* boss) {
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(boss->x, boss->y + toFixed(48));
        return boss->HitByShot(shot);
    }
    template <class Boss>
    void SkipEntry(Boss* boss) {
        for (int i = 0; i < Boss::kEntryFrames; ++i) boss->Act();
    }
    // Acts until the phase changes; returns the number of acts it took.
    template <class Boss>
    int ActsInPhase(Boss* boss) {
        const int phase = boss->phase;
        int acts = 0;
        while (boss->phase == phase && acts < 100000) {
            player->invulnerable = 1000;
            boss->Act();
            ++acts;
            upper.ClearChildren();
            lower.ClearChildren();
            top.ClearChildren();
        }
        return acts;
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
        CharacterEnemy* boss;
        int* phase;
        if (c.current) {
            auto* b = Make<CharacterEnemyBoss1b>(c.gameMode);
            SkipEntry(b);
            EXPECT_EQ(b->maxHitPoints, c.hitPoints);
            boss = b;
            phase = &b->phase;
        } else {
            auto* b = Make<CharacterEnemyBoss1>(c.gameMode);
            SkipEntry(b);
            boss = b;
            phase = &b->phase;
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
        upper.ClearChildren();
        lower.ClearChildren();
        top.ClearChildren();
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
