// Boss 3 without the play scene: the face, its cheeks, and what two of them do to each other.
#include <gtest/gtest.h>
#include <algorithm>
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
    auto* a = Make<CharacterEnemyBoss3b>(5);
    auto* b = Make<CharacterEnemyBoss3b>(5, 240, 400);
    Skip(a, CharacterEnemyBoss3::kEntryFrames + 1);
    Skip(b, CharacterEnemyBoss3::kEntryFrames + 1);
    Kill(a);
    EXPECT_FALSE(a->alive);
    EXPECT_TRUE(info.GetFlag(FlagFirstBoss3Down));
    EXPECT_FALSE(info.GetFlag(FlagStageCleared));
    EXPECT_EQ(b->hitPoints, 650);
    Kill(b);
    EXPECT_TRUE(info.GetFlag(FlagStageCleared));
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
        EXPECT_EQ(ShootAt(*boss, cheek->x, cheek->y), 1);
        EXPECT_FALSE(cheek->alive);
        EXPECT_EQ(boss->hitPoints, c.current ? (c.gameMode == 5 ? 650 : 350) : 800) << "the face is unhurt";
        const auto seeds = All<CharacterEnemyTane>(enemyRoot);
        EXPECT_EQ(static_cast<int>(seeds.size()), c.seeds);
        for (auto* s : seeds) {
            EXPECT_EQ(ClassNameOf(*s), c.seedClass);
            EXPECT_LE(std::abs(s->x - cheek->x), toFixed(30));
            EXPECT_LE(std::abs(s->y - cheek->y), toFixed(30));
            EXPECT_GE(s->targetY, cheek->y + toFixed(200)) << "thrown down the field";
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
        // The ring's speeds swell and shrink around it, between 380 and 620.
        int slowest = 1 << 30, fastest = 0;
        for (Character* ch : lower.GetChildren()) {
            auto* s = static_cast<CharacterShotEnemy*>(ch);
            const int speed2 = (s->vx >> 8) * (s->vx >> 8) + (s->vy >> 8) * (s->vy >> 8);
            slowest = std::min(slowest, speed2);
            fastest = std::max(fastest, speed2);
        }
        EXPECT_LT(slowest, fastest);
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

TEST_F(Boss3Test, TheSurvivorOfAPairDoublesItsSprayAndQuickensItsStreams) {
    for (bool survivor : {false, true}) {
        SCOPED_TRACE(survivor);
        enemyRoot.ClearChildren();
        ClearShots();
        info.SetFlag(FlagFirstBoss3Down, survivor);
        auto* boss = Make<CharacterEnemyBoss3b>(5);
        Skip(boss, CharacterEnemyBoss3::kEntryFrames + 1);
        // Phase 3's side sprays (from frame 1, clear of the big fan on frame 0).
        boss->phase = 3;
        boss->burstTimer = 1000;
        boss->frame = 0;
        Skip(boss, 60);
        const int small = Bullets(bullet::kSmallA), large = Bullets(bullet::kLargeA);
        EXPECT_GT(small, 0);
        EXPECT_EQ(large, survivor ? small : 0);

        // Phase 4's twin streams: every 11th frame, every 7th for the survivor (from frame 120).
        ClearShots();
        boss->phase = 4;
        boss->burstTimer = 1000;
        boss->frame = 0;
        Skip(boss, 308);
        const int volleys = Bullets(bullet::kSmallB) / 2;
        EXPECT_EQ(volleys, survivor ? 27 : 18);
    }
}

}  // namespace
