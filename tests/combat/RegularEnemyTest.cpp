#include <algorithm>
#include <vector>
#include "CombatFixture.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterEnemy1.h"
#include "combat/CharacterEnemyBorn.h"
#include "combat/CharacterEnemyJelly.h"
#include "combat/CharacterEnemyPot.h"
#include "combat/CharacterEnemyTane.h"
#include "combat/CharacterEnemyUmi.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShima.h"
#include "combat/CharacterShot.h"

namespace {

class RegularEnemyTest : public CombatFixture {
protected:
    // Shoots the enemy n times from point blank; returns how many shots hit.
    int Shoot(CharacterEnemy* e, int n) {
        int hits = 0;
        for (int i = 0; i < n; ++i) {
            CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
            shot.SetPosition(e->x, e->y);
            hits += e->HitByShot(shot);
        }
        return hits;
    }
    // Counts the bullets fired per frame over a run of frames, keeping the ship out of reach.
    std::vector<int> VolleyFrames(int frames) {
        std::vector<int> firing;
        for (int f = 1; f <= frames; ++f) {
            const size_t before = upper.GetChildren().size() + lower.GetChildren().size();
            player->invulnerable = 1000;
            Frame();
            if (upper.GetChildren().size() + lower.GetChildren().size() > before) firing.push_back(f);
            upper.ClearChildren();
            lower.ClearChildren();
        }
        return firing;
    }
};

TEST_F(RegularEnemyTest, PortalReleasesItsEnemyOnFrame96AndEnemy1FiresByGameMode) {
    for (int mode : {2, 3}) {
        info.SetGameMode(mode);
        // The ship sits on the spot, so the enemy never moves off the field.
        PlaceShip(240, 100);
        Spawn(new CharacterEnemyBorn(&env, &log, &info, new CharacterEnemy1(&env, &log, &info)), 240, 100);
        Frames(95);
        ASSERT_EQ(Count<CharacterEnemy1>(enemyRoot), 0);
        Frame();
        ASSERT_EQ(Count<CharacterEnemy1>(enemyRoot), 1);
        EXPECT_EQ(First<CharacterEnemy1>(enemyRoot)->GetPosition(), (Point{toFixed(240), toFixed(100)}));
        // Released during the root's walk, it acted once already. Its own frames 60 (cross), 120
        // and 200 (stars; not in mode 2); gone after 300.
        const std::vector<int> firing = VolleyFrames(299);
        const std::vector<int> expected = mode == 2 ? std::vector<int>{59} : std::vector<int>{59, 119, 199};
        EXPECT_EQ(firing, expected) << mode;
        EXPECT_EQ(Count<CharacterEnemy1>(enemyRoot), 0);
        enemyRoot.ClearChildren();
    }
}

TEST_F(RegularEnemyTest, Enemy1CrossIsAimedAndStarHasEightBullets) {
    info.SetGameMode(3);
    auto* e = Spawn(new CharacterEnemy1(&env, &log, &info), 240, 100);
    PlaceShip(240, 500);
    player->invulnerable = 1000;
    e->frame = 59;
    e->Act();
    ASSERT_EQ(lower.GetChildren().size(), 4u);
    auto* aimed = static_cast<CharacterShot*>(lower.GetChildren().front());
    EXPECT_EQ(aimed->vx, 0);
    EXPECT_EQ(aimed->vy, (65536 * 164) >> 8);  // 0.64 pixel a frame at the ship
    lower.ClearChildren();
    e->frame = 119;
    e->Act();
    EXPECT_EQ(lower.GetChildren().size(), 8u);
}

TEST_F(RegularEnemyTest, DeathsDropTheirItemsAndHitPointsFollowTheMode) {
    struct Case {
        const char* name;
        int gameMode;
        CharacterEnemy* (*make)(Env*, Log*, GameInfo*);
        int hitPoints, items;
    };
    const Case cases[] = {
        {"Enemy1", 2, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemy1(e, l, i); }, 3, 2},
        {"Enemy2b m4", 4, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemy2b(e, l, i); }, 5, 3},
        {"Enemy2b m5", 5, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemy2b(e, l, i); }, 8, 3},
        {"Pot", 3, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyPot(e, l, i); }, 1, 1},
        {"Jelly m2", 2, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJelly(e, l, i); }, 30, 10},
        {"Jelly m3", 3, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJelly(e, l, i); }, 66, 10},
        {"Jellyb m4", 4, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJellyb(e, l, i); }, 30, 10},
        {"Jellyb m2", 2, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJellyb(e, l, i); }, 66, 10},
        {"Umib", 5, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyUmib(e, l, i); }, 4, 1},
        {"Tane", 3, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyTane(e, l, i); }, 1, 0},
        {"Taneb", 5, [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyTaneb(e, l, i); }, 2, 0},
    };
    for (const Case& c : cases) {
        info.SetGameMode(c.gameMode);
        CharacterEnemy* e = Spawn(c.make(&env, &log, &info), 200, 200);
        EXPECT_EQ(Shoot(e, c.hitPoints - 1), c.hitPoints - 1) << c.name;
        EXPECT_TRUE(e->alive) << c.name;
        if (c.hitPoints > 1) {
            EXPECT_EQ(e->flashTimer, 2) << c.name;
        }
        EXPECT_EQ(Shoot(e, 1), 1) << c.name;
        EXPECT_FALSE(e->alive) << c.name;
        EXPECT_EQ(Count<CharacterItemScore>(middle), c.items) << c.name;
        EXPECT_EQ(Shoot(e, 1), 0) << c.name;  // a dead enemy stops no shots
        enemyRoot.ClearChildren();
        middle.ClearChildren();
        top.ClearChildren();
    }
}

TEST_F(RegularEnemyTest, HitRadiiByClass) {
    struct Case {
        CharacterEnemy* enemy;
        int reach;  // largest whole-pixel distance straight below that still hits
    };
    info.SetGameMode(3);
    const Case cases[] = {
        {new CharacterEnemy1(&env, &log, &info), 29}, {new CharacterEnemyPot(&env, &log, &info), 29},
        {new CharacterEnemyJelly(&env, &log, &info), 63}, {new CharacterEnemyUmi(&env, &log, &info), 24},
        {new CharacterEnemyTane(&env, &log, &info), 7},
    };
    for (const Case& c : cases) {
        Spawn(c.enemy, 200, 200);
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(toFixed(200), toFixed(200 + c.reach + 1));
        EXPECT_EQ(c.enemy->HitByShot(shot), 0) << c.reach;
        shot.SetPosition(toFixed(200), toFixed(200 + c.reach));
        EXPECT_EQ(c.enemy->HitByShot(shot), 1) << c.reach;
    }
}

TEST_F(RegularEnemyTest, PotFiresOnlyInItsOwnVersionsModesAndNeverWhileRisingOrSinking) {
    struct Case {
        bool current;
        int gameMode;
        int shots;  // aimed small bullets over its whole life
    };
    // Active frames 32..576: second halves of the 128-frame cycles at 64..127, 192..255, ...
    const Case cases[] = {{false, 2, 4}, {false, 3, 16}, {false, 4, 0}, {true, 4, 4}, {true, 5, 16}, {true, 3, 0}};
    for (const Case& c : cases) {
        info.SetGameMode(c.gameMode);
        CharacterEnemy* pot = c.current ? static_cast<CharacterEnemy*>(new CharacterEnemyPotb(&env, &log, &info))
                                        : new CharacterEnemyPot(&env, &log, &info);
        Spawn(pot, 100, 400);
        int shots = 0;
        for (int f = 1; f <= 606; ++f) {
            player->invulnerable = 1000;
            Frame();
            if (!upper.GetChildren().empty()) {
                shots += static_cast<int>(upper.GetChildren().size());
                EXPECT_GE(f, 32) << "while rising";
                EXPECT_LE(f, 576) << "while sinking";
            }
            upper.ClearChildren();
        }
        EXPECT_EQ(shots, c.shots) << c.gameMode << (c.current ? "b" : "");
        EXPECT_TRUE(enemyRoot.GetChildren().empty()) << "gone after 606 frames";
    }
}

TEST_F(RegularEnemyTest, PotDriftsWithTheMarkPosition) {
    info.SetMarkPosition(toFixed(1), -toFixed(2));
    auto* pot = Spawn(new CharacterEnemyPotb(&env, &log, &info), 100, 400);
    Frames(10);
    EXPECT_EQ(pot->GetPosition(), (Point{toFixed(110), toFixed(380)}));
}

TEST_F(RegularEnemyTest, JellyDeathScattersTenExplosionsAndItemsWithFourDrawsEach) {
    info.SetGameMode(3);
    auto* jelly = Spawn(new CharacterEnemyJelly(&env, &log, &info), 240, 200);
    jelly->hitPoints = 1;
    playrand::srand(3);
    for (int i = 0; i < 10 * (4 + 3); ++i) playrand::rand();
    const std::uint32_t expected = playrand::state();
    playrand::srand(3);
    EXPECT_EQ(Shoot(jelly, 1), 1);
    EXPECT_EQ(playrand::state(), expected);
    EXPECT_EQ(Count<CharacterEffect>(top), 10);
    EXPECT_EQ(Count<CharacterItemScore>(middle), 10);
    // Every explosion lies within 64 pixels of the jelly's centre on each axis.
    for (Character* c : top.GetChildren()) {
        EXPECT_GE(c->x, toFixed(240 - 64));
        EXPECT_LT(c->x, toFixed(240 + 64));
    }
}

TEST_F(RegularEnemyTest, SeedLandsAsAPotExactlyOnItsTargetEvenOffField) {
    for (bool current : {false, true}) {
        auto* seed = current ? new CharacterEnemyTaneb(&env, &log, &info) : new CharacterEnemyTane(&env, &log, &info);
        seed->SetTarget(toFixed(-40), toFixed(500));
        Spawn(seed, 240, 100);
        Frames(100);
        // Half way: on the line, lifted by (T - t) t 1820 / 65536 = 277.7 pixels.
        EXPECT_EQ(seed->x, toFixed(100));
        EXPECT_EQ(seed->y, toFixed(300) - 100 * 100 * 1820);
        Frames(99);
        ASSERT_EQ(enemyRoot.GetChildren().size(), 1u);
        Frame();
        Frame();  // the seed is removed by the walk after it landed
        ASSERT_EQ(enemyRoot.GetChildren().size(), 1u);
        CharacterEnemy* pot = static_cast<CharacterEnemy*>(enemyRoot.GetChildren().front());
        EXPECT_EQ(dynamic_cast<CharacterEnemyPotb*>(pot) != nullptr, current);
        EXPECT_NE(dynamic_cast<CharacterEnemyPot*>(pot), nullptr);
        EXPECT_EQ(pot->GetPosition(), (Point{toFixed(-40) + toFixed(0), toFixed(500)}));
        enemyRoot.ClearChildren();
    }
}

TEST_F(RegularEnemyTest, EmptyPortalShowsItsAnimationAndCannotBeHit) {
    ShowSprites({0x220, 0x227});
    auto* portal = Spawn(new CharacterEnemyBorn(&env, &log, &info, nullptr), 240, 230);
    EXPECT_EQ(Shoot(portal, 5), 0);
    Frame();
    EXPECT_TRUE(DrawnAt(0x220, 240, 230));
    Frames(126);
    EXPECT_TRUE(DrawnAt(0x227, 240, 230));
    Frame();
    EXPECT_TRUE(enemyRoot.GetChildren().empty());
}

TEST_F(RegularEnemyTest, UmiCirclesAndItsMirrorFliesThePointReflection) {
    auto* a = Spawn(new CharacterEnemyUmib(&env, &log, &info), 240, 300);
    auto* b = Spawn(new CharacterEnemyUmib(&env, &log, &info), 240, 300);
    b->SetDirection(-1);
    player->invulnerable = 100000;
    for (int f = 0; f < 256; ++f) {
        Frame();
        EXPECT_EQ(a->x - toFixed(240), toFixed(240) - b->x);
        EXPECT_EQ(a->y - toFixed(300), toFixed(300) - b->y);
    }
    // One full circle brings it (nearly) back to its start.
    EXPECT_LE(squaredDistance(a->x, a->y, toFixed(240), toFixed(300)), 4);
    Frames(780 - 256);
    EXPECT_TRUE(enemyRoot.GetChildren().empty());
}

// What each enemy fires on given frames of its own, by class and game mode: the "b" classes
// test modes 4 and 5 where the old ones test 2 and 3. Counts are (small A, small B, large A,
// large B) bullets fired on that frame.
TEST_F(RegularEnemyTest, FiringByClassAndGameMode) {
    using Make = CharacterEnemy* (*)(Env*, Log*, GameInfo*);
    struct Shot {
        int frame, smallA, smallB, largeA, largeB;
    };
    struct Case {
        const char* name;
        int gameMode;
        Make make;
        int px, py;
        std::vector<Shot> shots;
    };
    const Make jelly = [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJelly(e, l, i); };
    const Make jellyb = [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyJellyb(e, l, i); };
    const Make umi = [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyUmi(e, l, i); };
    const Make umib = [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemyUmib(e, l, i); };
    const Make enemy2b = [](Env* e, Log* l, GameInfo* i) -> CharacterEnemy* { return new CharacterEnemy2b(e, l, i); };
    // Jelly: inner streams only outside the shorter lap, outer ones always (frames below 240,
    // the first 15 of every 45, every 4th); after 240 a fan every 32 frames, its large part only
    // outside the shorter lap.
    const std::vector<Shot> jellyFull{{3, 0, 0, 0, 0}, {4, 0, 0, 4, 0}, {16, 0, 0, 0, 0}, {48, 0, 0, 4, 0},
                                      {256, 0, 8, 0, 9}, {272, 0, 0, 0, 0}};
    const std::vector<Shot> jellyShort{{4, 0, 0, 2, 0}, {48, 0, 0, 2, 0}, {256, 0, 8, 0, 0}};
    // Umi: every 6th frame, every 15th in the shorter lap.
    const std::vector<Shot> umiFull{{6, 1, 0, 0, 0}, {12, 1, 0, 0, 0}, {15, 0, 0, 0, 0}};
    const std::vector<Shot> umiShort{{6, 0, 0, 0, 0}, {15, 1, 0, 0, 0}, {30, 1, 0, 0, 0}};
    const Case cases[] = {
        {"Jelly", 2, jelly, 240, 100, jellyShort},
        {"Jelly", 3, jelly, 240, 100, jellyFull},
        {"Jellyb", 4, jellyb, 240, 100, jellyShort},
        {"Jellyb", 5, jellyb, 240, 100, jellyFull},
        {"Umi", 2, umi, 240, 300, umiShort},
        {"Umi", 3, umi, 240, 300, umiFull},
        {"Umib", 4, umib, 240, 300, umiShort},
        {"Umib", 5, umib, 240, 300, umiFull},
        // Enemy2b: one large bullet straight down every 60 frames up to 300; the second lap adds
        // six small ones on the half beats.
        {"Enemy2b", 4, enemy2b, 240, 150, {{30, 0, 0, 0, 0}, {60, 0, 0, 1, 0}, {300, 0, 0, 1, 0}, {360, 0, 0, 0, 0}}},
        {"Enemy2b", 5, enemy2b, 240, 150, {{30, 6, 0, 0, 0}, {60, 0, 0, 1, 0}, {270, 6, 0, 0, 0}, {330, 0, 0, 0, 0}}},
    };
    for (const Case& c : cases) {
        info.SetGameMode(c.gameMode);
        PlaceShip(240, 20);
        CharacterEnemy* e = Spawn(c.make(&env, &log, &info), c.px, c.py);
        int last = 0;
        for (const Shot& shot : c.shots) last = std::max(last, shot.frame);
        std::vector<Shot> seen;
        while (e->frame < last) {
            upper.ClearChildren();
            lower.ClearChildren();
            e->Act();
            int n[4] = {};
            for (Character* tree : {&upper, &lower}) {
                for (Character* b : tree->GetChildren()) {
                    const auto base = static_cast<CharacterShot*>(b)->spriteBase;
                    ++n[(base - 0x210) / 4];
                }
            }
            seen.push_back({e->frame, n[0], n[1], n[2], n[3]});
        }
        for (const Shot& want : c.shots) {
            const Shot& got = seen.at(want.frame - 1);
            ASSERT_EQ(got.frame, want.frame);
            EXPECT_EQ(got.smallA, want.smallA) << c.name << " mode " << c.gameMode << " frame " << want.frame;
            EXPECT_EQ(got.smallB, want.smallB) << c.name << " mode " << c.gameMode << " frame " << want.frame;
            EXPECT_EQ(got.largeA, want.largeA) << c.name << " mode " << c.gameMode << " frame " << want.frame;
            EXPECT_EQ(got.largeB, want.largeB) << c.name << " mode " << c.gameMode << " frame " << want.frame;
        }
        enemyRoot.ClearChildren();
        upper.ClearChildren();
        lower.ClearChildren();
        top.ClearChildren();
    }
}

// The second lap's spray turns each of its six bullets from the one before by a random angle:
// five draws a spray, the first bullet due right.
TEST_F(RegularEnemyTest, Enemy2bSprayDrawsFiveTurns) {
    info.SetGameMode(5);
    PlaceShip(240, 20);
    CharacterEnemy* e = Spawn(new CharacterEnemy2b(&env, &log, &info), 240, 150);
    playrand::srand(3);
    for (int i = 0; i < 5; ++i) playrand::rand();
    const std::uint32_t afterFive = playrand::state();
    playrand::srand(3);
    while (e->frame < 30) e->Act();
    EXPECT_EQ(playrand::state(), afterFive);
    ASSERT_EQ(upper.GetChildren().size(), 6u);
    const auto* first = static_cast<CharacterShot*>(upper.GetChildren().front());
    EXPECT_EQ(first->vx, (65536 * 800) >> 8);
    EXPECT_EQ(first->vy, 0);
}

TEST_F(RegularEnemyTest, IslandDriftsUntilItLeavesTheBand) {
    info.SetMarkPosition(toFixed(4), toFixed(1));
    auto* island = new CharacterShima(&env, &log, &info);
    back.AddChildren(island);
    island->SetPosition(toFixed(620), toFixed(100));
    Frames(2);
    EXPECT_EQ(back.GetChildren().size(), 1u);  // at 628
    Frame();                                    // at 632
    EXPECT_TRUE(back.GetChildren().empty());
}

}  // namespace
