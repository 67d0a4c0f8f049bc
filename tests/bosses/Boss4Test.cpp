#include "bosses/CharacterEnemyBoss4.h"
#include <cmath>
#include <set>
#include <vector>
#include "combat/CharacterBonusTimer.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotEnemy.h"
#include "bosses/BossFixture.h"
#include "play/Random.h"

namespace {

class Boss4Test : public BossFixture {
protected:
    template <class Boss>
    Boss* MakeReady(int gameMode) {
        auto* boss = Make<Boss>(gameMode);
        for (int i = 0; i < Boss::kEntryFrames; ++i) boss->Act();
        return boss;
    }
    std::vector<CharacterShotEnemy*> Bullets() {
        std::vector<CharacterShotEnemy*> out;
        for (Character* tree : {static_cast<Character*>(&upper), static_cast<Character*>(&lower)}) {
            for (Character* c : tree->GetChildren()) {
                if (auto* s = dynamic_cast<CharacterShotEnemy*>(c)) out.push_back(s);
            }
        }
        return out;
    }
    template <class Boss>
    std::vector<CharacterEnemyBoss4Awa*> Bubbles(Boss* boss) {
        std::vector<CharacterEnemyBoss4Awa*> out;
        for (Character* c : boss->GetChildren()) {
            if (auto* b = dynamic_cast<CharacterEnemyBoss4Awa*>(c)) out.push_back(b);
        }
        return out;
    }
};

// Hit points, phase thresholds and bonus timer by version and lap.
TEST_F(Boss4Test, PhasesFollowHitPointsByVersion) {
    struct Case {
        bool current;
        int gameMode, hitPoints, toPhase2, toPhase3;
        double bonus;
    };
    const Case cases[] = {{false, 2, 2040, 1300, 800, 0},
                          {false, 3, 2040, 1300, 800, 0},
                          {true, 4, 1200, 1000, 600, 81.0},
                          {true, 5, 2100, 1300, 800, 101.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        top.ClearChildren();
        auto run = [&](auto* boss) {
            EXPECT_EQ(boss->hitPoints, c.hitPoints);
            const int thresholds[] = {c.toPhase2, c.toPhase3, 400};
            for (int p = 0; p < 3; ++p) {
                boss->hitPoints = thresholds[p];
                boss->Act();
                EXPECT_EQ(boss->phase, p + 1);
                auto* bullet = new CharacterShotEnemy(&env, &log, &info, 0x210, 2, 1);
                upper.AddChildren(bullet);
                boss->hitPoints = thresholds[p] - 1;
                boss->Act();
                EXPECT_EQ(boss->phase, p + 2);
                EXPECT_EQ(boss->frame, 0);
                EXPECT_FALSE(bullet->alive) << "the field is cleared for the new phase";
                ClearShots();
            }
        };
        if (c.current) {
            auto* boss = MakeReady<CharacterEnemyBoss4b>(c.gameMode);
            EXPECT_EQ(boss->maxHitPoints, c.hitPoints);
            ASSERT_NE(First<CharacterBonusTimer>(top), nullptr);
            EXPECT_DOUBLE_EQ(First<CharacterBonusTimer>(top)->value, c.bonus);
            run(boss);
        } else {
            auto* boss = MakeReady<CharacterEnemyBoss4>(c.gameMode);
            EXPECT_EQ(First<CharacterBonusTimer>(top), nullptr);
            run(boss);
        }
    }
}

// A shot counts only strictly inside one of the six rectangles (so not on the centre line, where
// the two middle ones meet); during the entry never. The ship touching a rectangle loses a life.
TEST_F(Boss4Test, BodyIsTheSixRectangles) {
    auto* boss = Make<CharacterEnemyBoss4>(3);
    EXPECT_EQ(ShootAt(boss, 0, 0), 0) << "entry";
    for (int i = 0; i < CharacterEnemyBoss4::kEntryFrames; ++i) boss->Act();
    struct Case {
        int dx, dy, hit;
    };
    const Case cases[] = {
        {-300, 70, 1}, {300, 70, 1},  {-150, 0, 1},   {150, 0, 1},  {-50, -70, 1}, {50, -70, 1}, {1, 0, 1},
        {-315, 70, 0}, {-300, 51, 0}, {-300, 92, 0},  {-200, -4, 0}, {-50, 64, 0}, {300, 40, 0}, {0, -76, 0},
        {0, 100, 0},   {-234, 80, 0}, {315, 70, 0},   {-20, -75, 1}, {0, 0, 0},
    };
    for (const Case& c : cases) {
        const std::int32_t before = boss->hitPoints;
        EXPECT_EQ(ShootAt(boss, c.dx, c.dy), c.hit) << c.dx << ", " << c.dy;
        EXPECT_EQ(before - boss->hitPoints, c.hit);
    }
    EXPECT_EQ(boss->flashTimer, 2);

    player->invulnerable = 0;
    PlaceShip(240 + 280, 200 + 80);  // on the right wing tip
    boss->Act();
    EXPECT_EQ(player->GetLives(), 2);
    player->invulnerable = 0;
    player->SetLives(3);
    PlaceShip(240 + 120, 200 + 100);  // under the wing step
    boss->Act();
    EXPECT_EQ(player->GetLives(), 3);
}

TEST_F(Boss4Test, DeathRingByVersion) {
    auto* old = MakeReady<CharacterEnemyBoss4>(3);
    old->hitPoints = 1;
    EXPECT_EQ(ShootAt(old, 1, 0), 1);
    EXPECT_FALSE(old->alive);
    EXPECT_TRUE(info.GetFlag(FlagStageCleared));
    // The burst's ring of 50 (old-version modes) and the boss's own 60.
    EXPECT_EQ(Count<CharacterItemScore>(middle), 110);

    middle.ClearChildren();
    info.ClearFlags();
    auto* current = MakeReady<CharacterEnemyBoss4b>(4);
    First<CharacterBonusTimer>(top)->value = 12.5;
    current->hitPoints = 1;
    EXPECT_EQ(ShootAt(current, 1, 0), 1);
    EXPECT_TRUE(info.GetFlag(FlagStageCleared));
    EXPECT_EQ(Count<CharacterItemScore>(middle), 13);
}

// Phase 1's large rows leave the six emitters ten times per 240 frames: straight down at 1000,
// 900, 800 in the old version, at 800 leaning toward the middle in the current one.
TEST_F(Boss4Test, LargeRowsLeaveTheSixEmitters) {
    for (bool current : {false, true}) {
        SCOPED_TRACE(current);
        enemyRoot.ClearChildren();
        ClearShots();
        CharacterEnemy* boss;
        std::int32_t* timer;
        if (current) {
            auto* b = MakeReady<CharacterEnemyBoss4b>(4);  // mode 4 / 2: no small rows
            boss = b, timer = &b->targetTimer;
        } else {
            auto* b = MakeReady<CharacterEnemyBoss4>(2);
            boss = b, timer = &b->targetTimer;
        }
        int rows = 0;
        for (int f = 0; f < 240; ++f) {
            ClearShots();
            boss->Act();
            std::vector<CharacterShotEnemy*> large;
            for (auto* s : Bullets()) {
                if (s->spriteBase == bullet::kLargeA) large.push_back(s);
            }
            if (*timer % 23 != 0) {
                EXPECT_TRUE(large.empty()) << f;
                continue;
            }
            ++rows;
            // Emitters beyond the field's edges (the wings span more than the field) fire nothing.
            std::vector<int> emitters;
            for (int i = 0; i < 6; ++i) {
                const Fixed16 ex = boss->x + toFixed(CharacterEnemyBoss4::kEmitterX[i]);
                if (ex >= 0 && ex <= toFixed(480)) emitters.push_back(i);
            }
            ASSERT_EQ(large.size(), emitters.size());
            ASSERT_GE(emitters.size(), 3u);  // one wing at least is always over the field
            for (std::size_t k = 0; k < emitters.size(); ++k) {
                const int i = emitters[k];
                const auto* s = large[k];
                EXPECT_EQ(s->x, boss->x + toFixed(CharacterEnemyBoss4::kEmitterX[i])) << i;
                EXPECT_EQ(s->y, boss->y + toFixed(CharacterEnemyBoss4::kEmitterY[i])) << i;
                if (current) {
                    EXPECT_GT(s->vy, 0);
                    // Left wing drifts right, right wing left: toward the middle.
                    EXPECT_EQ(s->vx > 0, i < 3) << i;
                } else {
                    EXPECT_EQ(s->vx, 0);
                    EXPECT_EQ(s->vy, (env.sinCos.sinOf(1024) * (1000 - 100 * (i % 3))) >> 8) << i;
                }
            }
        }
        EXPECT_EQ(rows, 10);
    }
}

// Over one 240-frame target cycle held at the centre: the small rows fire on the timer's window
// (none in the first-lap modes), the aimed triple from the mouth while the timer is below the
// version's limit, and phase 2's large rows fall straight in both versions (only phase 1's lean).
TEST_F(Boss4Test, RowWindowsAndAimedTripleByPhaseAndVersion) {
    struct Case {
        bool current;
        int gameMode, phase, smallWindow, aimedBelow;
    };
    const Case cases[] = {{false, 2, 1, 0, 0},    {false, 3, 1, 24, 0},  {true, 4, 1, 0, 0},
                          {true, 5, 1, 16, 0},    {false, 2, 2, 0, 80},  {false, 3, 2, 24, 180},
                          {true, 4, 2, 0, 100},   {true, 5, 2, 21, 180}};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mode " << c.gameMode << " phase " << c.phase);
        enemyRoot.ClearChildren();
        ClearShots();
        auto run = [&](auto* boss) {
            boss->phase = c.phase;
            boss->hitPoints = 1500;  // above every threshold of the phase
            if (c.phase == 2) boss->hitPoints = 900;
            int smallRows = 0, triples = 0, largeRows = 0;
            for (int f = 0; f < 240; ++f) {
                ClearShots();
                boss->SetPosition(toFixed(240), boss->y);
                boss->vx = 0;
                boss->Act();
                ASSERT_EQ(boss->phase, c.phase);
                const int t = boss->targetTimer;
                int small = 0, mouth = 0;
                std::vector<CharacterShotEnemy*> large;
                for (auto* s : Bullets()) {
                    small += s->spriteBase == bullet::kSmallA;
                    if (s->spriteBase == bullet::kLargeA) large.push_back(s);
                    mouth += s->spriteBase == bullet::kLargeB && s->x == boss->x && s->y == boss->y + toFixed(58);
                }
                EXPECT_EQ(small > 0, (t - 1) % 4 == 0 && t % 64 < c.smallWindow) << t;
                EXPECT_EQ(mouth, t % 16 == 0 && t < c.aimedBelow ? 3 : 0) << t;
                smallRows += small > 0;
                triples += mouth == 3;
                if (large.empty()) continue;
                ++largeRows;
                for (auto* s : large) {
                    if (c.current && c.phase == 1) {
                        EXPECT_NE(s->vx, 0) << t;
                    } else {
                        EXPECT_EQ(s->vx, 0) << "straight down, timer " << t;
                        const auto down = [&](int speed) { return (env.sinCos.sinOf(1024) * speed) >> 8; };
                        EXPECT_TRUE(s->vy == down(1000) || s->vy == down(900) || s->vy == down(800)) << s->vy;
                    }
                }
            }
            EXPECT_EQ(largeRows, 10);
            int expectSmall = 0, expectTriples = 0;
            for (int t = 1; t <= 240; ++t) {
                expectSmall += (t - 1) % 4 == 0 && t % 64 < c.smallWindow;
                expectTriples += t % 16 == 0 && t < c.aimedBelow;
            }
            EXPECT_EQ(smallRows, expectSmall);
            EXPECT_EQ(triples, expectTriples);
        };
        if (c.current) {
            run(MakeReady<CharacterEnemyBoss4b>(c.gameMode));
        } else {
            run(MakeReady<CharacterEnemyBoss4>(c.gameMode));
        }
    }
}

// The order of the random draws of a wave: the target (x, then y), then in the old version the
// bubble's tilt and then its point; in the current one the firing bubble, then the four tilts.
TEST_F(Boss4Test, BubbleWaveDrawsInOrder) {
    auto tiltVelocity = [&](int draw) {
        const int a = 64 * (((draw % 10) - 5) & 63);
        return Point{(-env.sinCos.sinOf(a) * 7) >> 1, (env.sinCos.cosOf(a) * 7) >> 1};
    };
    const int pointsX[4] = {-167, -78, 167, 78};
    for (std::uint32_t seed : {3u, 11u, 4242u}) {
        SCOPED_TRACE(seed);
        enemyRoot.ClearChildren();
        auto* old = MakeReady<CharacterEnemyBoss4>(3);
        old->hitPoints = 700;
        old->phase = 3;
        old->frame = 59;
        playrand::srand(seed);
        old->Act();
        playrand::srand(seed);
        playrand::rand();
        EXPECT_EQ(old->targetY, toFixed(50 + playrand::rand() % 200));
        const Point v = tiltVelocity(playrand::rand());
        const int point = playrand::rand() % 4;
        ASSERT_EQ(Bubbles(old).size(), 1u);
        EXPECT_EQ(Bubbles(old)[0]->vx, v.x);
        EXPECT_EQ(Bubbles(old)[0]->vy, v.y);
        EXPECT_EQ(Bubbles(old)[0]->x, old->x + toFixed(pointsX[point]));

        auto* current = MakeReady<CharacterEnemyBoss4b>(5);
        current->hitPoints = 700;
        current->phase = 3;
        current->frame = 59;
        playrand::srand(seed);
        current->Act();
        playrand::srand(seed);
        playrand::rand();
        EXPECT_EQ(current->targetY, toFixed(50 + playrand::rand() % 200));
        const int firing = playrand::rand() % 4;
        const auto four = Bubbles(current);
        ASSERT_EQ(four.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            const Point w = tiltVelocity(playrand::rand());
            auto* b = static_cast<CharacterEnemyBoss4bAwa*>(four[i]);
            EXPECT_EQ(b->vx, w.x) << i;
            EXPECT_EQ(b->vy, w.y) << i;
            EXPECT_EQ(b->fireInterval, i == firing ? 8 : 0) << i;
        }
    }
}

// Phase 3 releases bubbles every 60 frames: one in the old version, four in the current one of
// which only one fires. Phase 4 removes them all.
TEST_F(Boss4Test, BubblesByVersionAndPhaseFourRemovesThem) {
    auto* old = MakeReady<CharacterEnemyBoss4>(3);
    old->hitPoints = 700;
    old->phase = 3;
    old->frame = 0;
    for (int f = 0; f < 60; ++f) old->Act();
    ASSERT_EQ(Bubbles(old).size(), 1u);
    auto* bubble = Bubbles(old)[0];
    const std::set<std::pair<int, int>> points{{-167, 27}, {-78, 4}, {167, 27}, {78, 4}};
    EXPECT_TRUE(points.count({(bubble->x - old->x) >> 16, (bubble->y - old->y) >> 16}));
    // 3.5 pixels a frame, downward, tilted by at most five steps of 64.
    const std::int64_t vx = bubble->vx, vy = bubble->vy;
    EXPECT_GT(vy, 0);
    EXPECT_NEAR(std::sqrt(static_cast<double>(vx * vx + vy * vy)), 3.5 * 65536, 8);
    EXPECT_LE(std::abs(vx), (3.5 * 65536) * std::sin(5 * 64 * 2 * M_PI / 4096) + 8);

    auto* current = MakeReady<CharacterEnemyBoss4b>(5);
    current->hitPoints = 700;
    current->phase = 3;
    current->frame = 0;
    for (int f = 0; f < 60; ++f) current->Act();
    const auto four = Bubbles(current);
    ASSERT_EQ(four.size(), 4u);
    int firing = 0;
    for (int i = 0; i < 4; ++i) {
        auto* b = static_cast<CharacterEnemyBoss4bAwa*>(four[i]);
        EXPECT_EQ((b->x - current->x) >> 16, std::vector<int>({-167, -78, 167, 78})[i]);
        firing += b->fireInterval == 8;
        EXPECT_TRUE(b->fireInterval == 0 || b->fireInterval == 8);
    }
    EXPECT_EQ(firing, 1);

    current->hitPoints = 399;
    enemyRoot.UpdateTree();
    EXPECT_EQ(current->phase, 4);
    EXPECT_TRUE(Bubbles(current).empty());
}

// A bubble: seven hits within 16 pixels, then an explosion and three items; it fires its side
// pair on its interval and vanishes after 300 frames.
TEST_F(Boss4Test, BubbleLifeHitsAndFire) {
    struct Case {
        bool current;
        int gameMode, interval;
    };
    for (const Case c : {Case{false, 2, 16}, Case{false, 3, 8}, Case{true, 4, 16}, Case{true, 5, 8}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        ClearShots();
        info.SetGameMode(c.gameMode);
        CharacterEnemyBoss4Awa* b = c.current ? new CharacterEnemyBoss4bAwa(&env, &log, &info)
                                              : new CharacterEnemyBoss4Awa(&env, &log, &info);
        Spawn(b, 240, 100);
        b->SetVelocity(0, 16384);  // slowly, so it stays on the field for its whole life
        std::vector<int> fired;
        int frames = 0;
        while (b->alive && frames < 400) {
            ClearShots();
            b->Act();
            ++frames;
            const auto bullets = Bullets();
            if (!bullets.empty()) {
                fired.push_back(b->frame);
                ASSERT_EQ(bullets.size(), 2u);
                // Perpendicular to its motion, one to each side.
                EXPECT_EQ(bullets[0]->vy, 0);
                EXPECT_EQ(bullets[0]->vx, -bullets[1]->vx);
                EXPECT_NE(bullets[0]->vx, 0);
            }
        }
        EXPECT_EQ(frames, 300);
        ASSERT_FALSE(fired.empty());
        for (int f : fired) EXPECT_EQ(f % c.interval, 0) << f;
        EXPECT_EQ(static_cast<int>(fired.size()), 299 / c.interval);
    }

    enemyRoot.ClearChildren();
    auto* b = Spawn(new CharacterEnemyBoss4bAwa(&env, &log, &info), 240, 100);
    b->SetFireInterval(0);
    CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
    shot.SetPosition(toFixed(240 + 16), toFixed(100));
    EXPECT_EQ(b->HitByShot(shot), 0);
    shot.SetPosition(toFixed(240 + 15), toFixed(100));
    for (int i = 0; i < 7; ++i) EXPECT_EQ(b->HitByShot(shot), 1);
    EXPECT_FALSE(b->alive);
    EXPECT_EQ(Count<CharacterItemScore>(middle), 3);
    for (int f = 0; f < 100; ++f) b->Act();
    EXPECT_TRUE(Bullets().empty()) << "an interval of 0 never fires";
}

// Bubbles leave from inside the wings: a shot there strikes the body only; a bubble is hit only
// by a shot that misses the body.
TEST_F(Boss4Test, ShotStrikesTheBodyBeforeItsBubbles) {
    auto* boss = MakeReady<CharacterEnemyBoss4b>(5);
    auto* inWing = new CharacterEnemyBoss4bAwa(&env, &log, &info);
    auto* below = new CharacterEnemyBoss4bAwa(&env, &log, &info);
    boss->AddChildren(inWing);
    boss->AddChildren(below);
    inWing->SetPosition(boss->x + toFixed(-167), boss->y + toFixed(27));  // inside the second rectangle
    below->SetPosition(boss->x + toFixed(-167), boss->y + toFixed(150));
    struct Case {
        int dx, dy, result, body, wing, low;
    };
    const Case cases[] = {{-167, 27, 1, 1, 0, 0}, {-167, 150, 1, 0, 0, 1}, {-167, 300, 0, 0, 0, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dy);
        const std::int32_t body = boss->hitPoints, wing = inWing->hitPoints, low = below->hitPoints;
        EXPECT_EQ(ShootAt(boss, c.dx, c.dy), c.result);
        EXPECT_EQ(body - boss->hitPoints, c.body);
        EXPECT_EQ(wing - inWing->hitPoints, c.wing);
        EXPECT_EQ(low - below->hitPoints, c.low);
    }
}

// A bubble shot down, or removed as phase 4 begins, moves and fires its pair once more on the walk
// that deletes it.
TEST_F(Boss4Test, KilledBubbleActsOnceMore) {
    for (const bool byPhase4 : {false, true}) {
        SCOPED_TRACE(byPhase4 ? "phase 4" : "shot down");
        enemyRoot.ClearChildren();
        ClearShots();
        auto* boss = MakeReady<CharacterEnemyBoss4b>(5);
        boss->hitPoints = 700;
        boss->phase = 3;
        boss->frame = 1;  // no wave of its own on the next walk
        auto* b = new CharacterEnemyBoss4bAwa(&env, &log, &info);
        boss->AddChildren(b);
        b->SetPosition(toFixed(240), toFixed(400));
        b->SetVelocity(0, toFixed(2));
        b->frame = 7;  // the next step is its 8th frame: a firing one in mode 5
        if (byPhase4) {
            boss->hitPoints = 399;
        } else {
            CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
            shot.SetPosition(b->x, b->y);
            for (int i = 0; i < 7; ++i) EXPECT_EQ(b->HitByShot(shot), 1);
            EXPECT_FALSE(b->alive);
        }
        ClearShots();
        enemyRoot.UpdateTree();
        EXPECT_EQ(boss->phase, byPhase4 ? 4 : 3);
        EXPECT_TRUE(Bubbles(boss).empty());
        const auto pair = Bullets();
        ASSERT_EQ(pair.size(), 2u) << "the last frame's pair";
        for (const auto* bullet : pair) {
            EXPECT_EQ(bullet->y, toFixed(402)) << "fired from where its last move took it";
            EXPECT_EQ(bullet->vy, 0);
        }
        EXPECT_EQ(pair[0]->vx, -pair[1]->vx);
    }
}

TEST_F(Boss4Test, PhaseThreeEndsAfter3600FramesWithoutDamage) {
    auto* boss = MakeReady<CharacterEnemyBoss4>(3);
    boss->hitPoints = 700;
    boss->phase = 3;
    boss->frame = 0;
    int acts = 0;
    while (boss->phase == 3 && acts < 5000) {
        boss->Act();
        ClearShots();
        ++acts;
    }
    EXPECT_EQ(acts, 3601);
    EXPECT_EQ(boss->hitPoints, 700);
}

// Phase 4's two radial sprays: volleys from all six emitters, 8 per burst (old mode 3, current
// mode 5) or 4 (old mode 2) / 6 (current mode 4), mirror images of each other.
TEST_F(Boss4Test, PhaseFourVolleysByVersion) {
    struct Case {
        bool current;
        int gameMode, volleys;
    };
    for (const Case c : {Case{false, 2, 4}, Case{false, 3, 8}, Case{true, 4, 6}, Case{true, 5, 8}}) {
        SCOPED_TRACE(c.gameMode);
        enemyRoot.ClearChildren();
        ClearShots();
        auto run = [&](auto* boss) {
            boss->hitPoints = 300;
            boss->phase = 4;
            boss->frame = 200;
            int bursts = 0;
            for (int f = 0; f < 100; ++f) {
                ClearShots();
                // Held at the centre, where the outer emitters lie beyond the field's edges.
                boss->SetPosition(toFixed(240), boss->y);
                boss->vx = 0;
                boss->Act();
                const auto bullets = Bullets();
                const int t = boss->targetTimer;
                if ((t + 3) % 8 != 0 || t % 50 >= 40) {
                    EXPECT_TRUE(bullets.empty());
                    continue;
                }
                ++bursts;
                ASSERT_EQ(static_cast<int>(bullets.size()), 4 * c.volleys);
                for (std::size_t k = 0; k < bullets.size(); k += 4) {
                    // The left wing's inner emitters mirror the right wing's.
                    for (int i = 0; i < 2; ++i) {
                        EXPECT_NEAR(bullets[k + i]->vx, -bullets[k + 2 + i]->vx, 4);
                        EXPECT_NEAR(bullets[k + i]->vy, bullets[k + 2 + i]->vy, 4);
                    }
                }
                // Successive volleys turn away from each other.
                EXPECT_NE(bullets[0]->vx, bullets[4]->vx);
                // Volley v leaves the left wing along 1024 + 2 * timer + (v + 1) steps of 256 * step
                // (the turn comes before each volley), the right wing along its mirror image.
                const int step = c.current && c.gameMode == 4 ? 3 : 2;  // 67.5 or 45 degrees
                for (int v = 0; v < c.volleys; ++v) {
                    const int left = 1024 + 2 * t + (v + 1) * 256 * step;
                    EXPECT_EQ(bullets[4 * v]->vx, (env.sinCos.cosOf(left) * 600) >> 8) << v;
                    EXPECT_EQ(bullets[4 * v]->vy, (env.sinCos.sinOf(left) * 600) >> 8) << v;
                    const int right = 1024 - 2 * t - (v + 1) * 256 * step;
                    EXPECT_EQ(bullets[4 * v + 2]->vx, (env.sinCos.cosOf(right) * 600) >> 8) << v;
                }
            }
            EXPECT_GT(bursts, 5);
        };
        if (c.current) {
            run(MakeReady<CharacterEnemyBoss4b>(c.gameMode));
        } else {
            run(MakeReady<CharacterEnemyBoss4>(c.gameMode));
        }
    }
}

}  // namespace
