#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include "app/Env.h"
#include "support/EnglishTexts.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterScorer.h"
#include "combat/CharacterShotEnemy.h"
#include "input/InputButton.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameTitle.h"
#include "records/ReplayRunner.h"
#include "stages/StageTutorial.h"
#include "support/PlayProbes.h"
#include "support/TestEnv.h"

namespace {
constexpr std::uint8_t kHold2 = PlayHarness::bit(Button2);

const std::string kIntro = "挑戦者よ、ヤツに勝ちたければ私の力を自在にあやつれなければならない。";
const std::string kGrow = "２ボタンを押し続けると、敵弾が大きくなる。試してみなさい。";
const std::string kShrink = "そのあと２ボタンを押して離すと、敵弾が小さくなる。試してみなさい。";
const std::string kPassed = "よろしい。これから、お前に託すだけの力があるか試す。全力で向かって来なさい。";
const std::string kOnceMore = "もう一度。";
const std::string kWait = StageTutorial::WaitForWallLine();
const std::string kComplete = StageTutorial::CompleteLine();
constexpr std::uint8_t kFire = PlayHarness::bit(Button1);

// A tutorial play driven frame by frame, telling what the text box said in each frame.
class Tutorial {
public:
    // passPage: read through the first page with Button1, to the mentor's own lessons.
    explicit Tutorial(bool drawing = false, bool passPage = true) : play(1, drawing) {
        play.step();  // the loading frame
        if (passPage) readPage();
    }
    // Each line of the first page shown its least time, then Button1.
    void readPage() {
        for (int i = 0; i < 1000 && stage().page < StageTutorial::kPageLines; ++i) {
            if (stage().pageClock > 30) {
                step(kFire);
                if (stage().page < StageTutorial::kPageLines) step();
            } else {
                step();
            }
        }
        ASSERT_EQ(stage().page, StageTutorial::kPageLines);
        ASSERT_EQ(stage().t, 0) << "the mentor's clock starts after the first page";
    }
    StageTutorial& stage() { return *dynamic_cast<StageTutorial*>(play.game().stage()); }
    CharacterPlayer& ship() { return play.game().player(); }
    // One frame; the text shown in it ("" for none).
    std::string step(std::uint8_t buttons = 0) {
        auto& texts = play.platform().textRenderer().texts;
        texts.clear();
        play.step(buttons);
        std::string shown;
        for (const std::string& t : texts) shown += t;
        return shown;
    }
    // Frames until the lesson clock reaches t (stepping with the buttons given).
    void runTo(std::int32_t t, std::uint8_t buttons = 0) {
        for (int i = 0; i < 5000 && stage().t < t && !play.ended(); ++i) step(buttons);
        ASSERT_GE(stage().t, t) << "the lesson clock never got there";
    }
    // Every text shown in the next n frames, once each, in the order first seen.
    std::vector<std::string> textsOver(int n, std::uint8_t buttons = 0) {
        std::vector<std::string> seen;
        for (int i = 0; i < n && !play.ended(); ++i) {
            const std::string s = step(buttons);
            if (!s.empty() && (seen.empty() || seen.back() != s)) seen.push_back(s);
        }
        return seen;
    }
    // Holds Button2 until the bullets have grown long enough to earn the stock, then lets go.
    void earnStock() {
        for (int i = 0; i < 200 && ship().GetStock() == 0; ++i) step(kHold2);
        step();
        step();  // the ship reads the buttons polled the frame before
    }
    // A short press: the stock is spent on small bullets.
    void shrink() {
        for (int i = 0; i < 5; ++i) step(kHold2);
        step();
        step();
    }
    std::size_t bulletsInFlight() {
        std::size_t n = 0;
        for (Character* c : play.info().GetLowerShotTree()->GetChildren())
            n += dynamic_cast<CharacterShotEnemy*>(c) != nullptr && c->alive;
        return n;
    }

    TempWorkDir dir;
    PlayHarness play;
};
}  // namespace

TEST(Tutorial, TheLessonsTalkOnTheirClockAndTheBulletsStartAfterTheIntro) {
    Tutorial tut;
    tut.ship().invulnerable = 1 << 20;
    ASSERT_EQ(tut.stage().t, 0);
    ASSERT_TRUE(tut.play.game().schedule().script().empty()) << "the tutorial has no spawn script";
    EXPECT_EQ(tut.play.env().bgm.currentId(), -1) << "the tutorial starts no music of its own";
    struct Case {
        std::int32_t t;
        std::string text;
    };
    const Case cases[] = {{60, ""},     {61, kIntro},     {659, kIntro},  {660, ""},
                          {720, ""},    {721, kGrow},     {778, kGrow}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.t);
        std::string shown;
        for (int i = 0; i < 1000 && tut.stage().t < c.t; ++i) shown = tut.step();
        ASSERT_EQ(tut.stage().t, c.t);
        EXPECT_EQ(shown, c.text);
        if (c.t < 660) {
            EXPECT_EQ(tut.bulletsInFlight(), 0u);
        }
    }
    // One slow bullet every 32 frames from the mentor, at one pixel a frame.
    EXPECT_FALSE(tut.play.ended()) << tut.play.framesRun();
    EXPECT_GE(tut.bulletsInFlight(), 3u);
    for (Character* c : tut.play.info().GetLowerShotTree()->GetChildren()) {
        auto* shot = dynamic_cast<CharacterShotEnemy*>(c);
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(shot->spriteBase, 0x210);
        EXPECT_EQ(shot->hitFactor, 2);
        const double speed = std::hypot(shot->vx / 65536.0, shot->vy / 65536.0);
        EXPECT_NEAR(speed, 1.0, 0.01);
    }
}

// The play seeds the generator with 1 and nothing else draws from it in the tutorial: the n-th
// slow bullet flies along the table entry of the n-th number drawn, (cos, sin), from the mentor.
TEST(Tutorial, TheSlowBulletsFlyWhereTheGeneratorSends) {
    Tutorial tut;
    tut.ship().invulnerable = 1 << 20;
    std::uint32_t holdrand = 1;
    auto nextRand = [&holdrand]() {
        holdrand = holdrand * 214013u + 2531011u;
        return static_cast<int>((holdrand >> 16) & 0x7FFF);
    };
    const SinCosTable& table = tut.play.env().sinCos;
    for (std::int32_t fireT : {672, 704, 736, 768}) {
        SCOPED_TRACE(fireT);
        tut.runTo(fireT - 1);
        const std::size_t before = tut.bulletsInFlight();
        tut.step();
        ASSERT_EQ(tut.stage().t, fireT);
        ASSERT_EQ(tut.bulletsInFlight(), before + 1);
        const auto* shot = dynamic_cast<const CharacterShotEnemy*>(tut.play.info().GetLowerShotTree()->GetChildren().back());
        ASSERT_NE(shot, nullptr);
        const int angle = nextRand() & 4095;
        EXPECT_EQ(shot->vx, table.cosOf(angle));
        EXPECT_EQ(shot->vy, table.sinOf(angle));
        // Fired before the bullets act: it has flown once from the mentor's centre.
        EXPECT_EQ(shot->x, toFixed(240) + shot->vx);
        EXPECT_EQ(shot->y, toFixed(200) + shot->vy);
    }
}

TEST(Tutorial, NeverEarningAStockKeepsTheGrowLessonLooping) {
    Tutorial tut;
    tut.ship().invulnerable = 1 << 20;
    tut.runTo(721);
    // Tapping Button2 without a stock changes nothing; only a long hold earns one.
    std::vector<std::string> seen;
    for (int i = 0; i < 3000; ++i) {
        const std::string s = tut.step(i % 40 < 5 ? kHold2 : 0);
        if (!s.empty()) seen.push_back(s);
        ASSERT_GT(tut.stage().t, 720);
        ASSERT_LT(tut.stage().t, 780);
    }
    EXPECT_EQ(tut.stage().survived, 0);
    ASSERT_FALSE(seen.empty());
    for (const std::string& s : seen) EXPECT_EQ(s, kGrow);
}

TEST(Tutorial, TheStockLeadsToTheShrinkLessonAndItsWall) {
    Tutorial tut;
    tut.ship().invulnerable = 1 << 20;
    tut.runTo(700);
    tut.earnStock();  // early: the clock runs on without a repeat
    ASSERT_EQ(tut.ship().GetStock(), 1);
    tut.runTo(839);
    const std::size_t before = tut.bulletsInFlight();
    EXPECT_EQ(tut.step(), "") << "t 840";
    ASSERT_EQ(tut.stage().t, 840);
    EXPECT_EQ(tut.bulletsInFlight(), before + 16);
    // The wall: sixteen large bullets on the top edge, 32 pixels apart, sinking half a pixel.
    std::vector<int> xs;
    for (Character* c : tut.play.info().GetLowerShotTree()->GetChildren()) {
        auto* shot = static_cast<CharacterShotEnemy*>(c);
        if (shot->spriteBase != 0x218) continue;
        EXPECT_EQ(shot->hitFactor, 8);
        EXPECT_EQ(shot->vx, 0);
        EXPECT_EQ(shot->vy, 32768);
        EXPECT_EQ(shot->y, 32768) << "fired before the bullets act: it has sunk once";
        xs.push_back(shot->x >> 16);
    }
    ASSERT_EQ(xs.size(), 16u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(xs[i], 32 * i);

    // Without a shrink the lesson repeats; the third text keeps coming back, with the hint to
    // wait for the wall.
    const std::vector<std::string> seen = tut.textsOver(600);
    ASSERT_FALSE(seen.empty());
    for (const std::string& s : seen) EXPECT_EQ(s, kShrink + kWait);
    EXPECT_GE(tut.stage().t, 841);
    EXPECT_LE(tut.stage().t, 898);
}

TEST(Tutorial, AFailureSaysOnceMoreAndRestartsTheLessonStillNeeded) {
    struct Case {
        const char* what;
        bool withStock;
        bool byDeath;  // otherwise the shrink is never used within the time
        std::int32_t restartT;
        std::string lesson;
    };
    const Case cases[] = {
        {"death without a stock", false, true, 720, kGrow},
        {"death holding a stock", true, true, 839, kShrink},
        {"no shrink within 1200 frames", true, false, 839, kShrink},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Tutorial tut;
        tut.ship().invulnerable = 1 << 20;
        tut.runTo(700);
        if (c.withStock) tut.earnStock();
        tut.runTo(c.withStock ? 860 : 750);
        if (c.byDeath) {
            tut.ship().Die();
            tut.ship().invulnerable = 1 << 20;
        } else {
            for (int i = 0; i < 1500 && tut.stage().survived < 1200; ++i) tut.step();
            ASSERT_EQ(tut.stage().survived, 1200);
        }
        // One second of silence, then "once more" until the restart; the mentor fires nothing
        // meanwhile, and the bullets already flying are left to fly on.
        std::vector<std::string> shown;
        std::size_t bullets = tut.bulletsInFlight(), beforeRestart = 0;
        for (int i = 0; i < 241; ++i) {
            beforeRestart = bullets;
            shown.push_back(tut.step());
            ASSERT_LE(tut.bulletsInFlight(), bullets) << "a bullet fired during the failure, frame " << i;
            bullets = tut.bulletsInFlight();
        }
        for (int i = 0; i < 60; ++i) EXPECT_EQ(shown[i], "") << i;
        for (int i = 60; i < 241; ++i) EXPECT_EQ(shown[i], kOnceMore) << i;
        // A death has swept the field already; a missed shrink leaves the wall and the rest up.
        if (!c.byDeath) {
            EXPECT_GT(beforeRestart, 0u);
            EXPECT_EQ(bullets, beforeRestart) << "the restart removes no bullet";
        }
        EXPECT_EQ(tut.stage().retry, 0);
        EXPECT_EQ(tut.stage().survived, 0);
        EXPECT_EQ(tut.stage().t, c.restartT);
        EXPECT_FALSE(tut.play.info().GetFlag(FlagLifeLost));
        EXPECT_EQ(tut.ship().GetLives(), 3) << "the life lost is given back";
        const std::vector<std::string> next = tut.textsOver(100);
        ASSERT_FALSE(next.empty());
        EXPECT_EQ(next.front(), c.lesson == kShrink ? kShrink + kWait : c.lesson);
    }
}

// In English every lesson reads from the catalogue, and the two about button 2 name the key the
// player's settings give it.
TEST(Tutorial, InEnglishTheLessonsNameThePlayersOwnKey) {
    const EnglishTexts english;
    ASSERT_TRUE(english.loaded);
    Tutorial tut;
    tut.play.env().input.bindKeys({{"BUTTON2", "v"}});
    tut.ship().invulnerable = 1 << 20;
    tut.runTo(61);
    EXPECT_EQ(tut.step(), "Challenger, if you would defeat him, you must learn to wield my power at will.");
    tut.runTo(722);
    EXPECT_EQ(tut.step(), "Hold button 2 (V) down, and the enemy bullets grow. Try it.");

    Tutorial shrinking;
    shrinking.play.env().input.bindKeys({{"BUTTON2", "Left Shift, X"}});
    shrinking.ship().invulnerable = 1 << 20;
    shrinking.runTo(700);
    shrinking.earnStock();
    shrinking.runTo(845);
    EXPECT_EQ(shrinking.step(), "Then press button 2 (Left Shift) and let go, and the enemy bullets shrink. Try it."
                                "Wait until the wall of bullets closes in, then shrink them.");
}

// The lessons done by the book from the bottom left corner, where the slow bullets of this seed
// pass by and the ship stands between two bullets of the wall.
void learnTheLessons(Tutorial& tut) {
    tut.runTo(200, PlayHarness::bit(Left) | PlayHarness::bit(Down));
    tut.runTo(700);
    tut.earnStock();
    tut.runTo(845);
    tut.shrink();
}

TEST(Tutorial, AScriptedPassEndsThePlayAndUnlocksNothingButTheTutorialFlag) {
    Tutorial tut;
    learnTheLessons(tut);
    ASSERT_TRUE(tut.play.info().GetFlag(FlagEnteredSmall));
    std::string shown;
    for (int i = 0; i < 1500 && tut.stage().survived <= 1200; ++i) shown = tut.step();
    ASSERT_EQ(tut.ship().GetLives(), 3) << "the bullets of this seed miss a ship that stays put";
    ASSERT_EQ(tut.stage().survived, 1201);
    EXPECT_EQ(shown, kPassed);
    // From now on the field is kept clear, and the closing words stay 600 frames; then
    // "tutorial complete" stays until Button1.
    for (int i = 0; i < 600; ++i) {
        ASSERT_EQ(tut.step(), kPassed) << i;
        ASSERT_EQ(tut.bulletsInFlight(), 0u);
    }
    for (int i = 0; i < 3000; ++i) ASSERT_EQ(tut.step(), kComplete) << i;
    ASSERT_FALSE(tut.play.info().GetFlag(FlagLeavePlay));
    tut.step(kFire);
    EXPECT_TRUE(tut.play.info().GetFlag(FlagLeavePlay));
    EXPECT_EQ(tut.play.stage(), 2);
    tut.step();
    ASSERT_TRUE(tut.play.ended());
    EXPECT_FALSE(tut.play.info().GetFlag(FlagScorerCreated)) << "a passed tutorial ends without the scorer";
    ASSERT_NE(dynamic_cast<GameTitle*>(tut.play.nextScene()), nullptr);
    EXPECT_TRUE(tut.play.env().save.tutorialCleared);
    EXPECT_FALSE(std::filesystem::exists("data/lastplay.rep")) << "a tutorial play is not kept";
}

TEST(Tutorial, ARecordedTutorialReplaysExactly) {
    Tutorial tut;
    learnTheLessons(tut);
    for (int i = 0; i < 2000 && !tut.play.ended(); ++i) tut.step(i % 64 == 63 ? kFire : 0);
    ASSERT_TRUE(tut.play.ended());
    Score& record = tut.play.game().record();
    const ScoreHeader h = record.getHeader();
    EXPECT_EQ(h.version, 0);
    EXPECT_EQ(h.gameMode, 1);
    EXPECT_EQ(h.stages, 2);
    ASSERT_TRUE(record.save("data/tutorial.rep"));

    Log log("");
    Score read(&log);
    ASSERT_TRUE(read.load("data/tutorial.rep"));
    // The lessons' input is the first stage's trace, where a replay starts.
    EXPECT_FALSE(read.traceFor(1).runs().empty());
    ReplayRunner runner(read);
    ASSERT_TRUE(runner.versionMatches());
    const ReplayRunner::Result r = runner.run(100000);
    EXPECT_TRUE(ReplayRunner::matches(h, r)) << r.stages << " " << r.frames << " " << h.frames;
    EXPECT_EQ(r.stages, 2);
}

// Left idle through the lessons, the ship is hit again and again; each lost life brings "once
// more" and is given back, so the tutorial never ends by itself.
TEST(Tutorial, AnIdlePlayerIsNeverRunOutOfShips) {
    Tutorial tut;
    int losses = 0;
    for (int i = 0; i < 20000; ++i) {
        tut.step();
        losses += tut.play.info().GetFlag(FlagLifeLost) && tut.stage().retry == 1;
        ASSERT_FALSE(tut.play.ended()) << i;
        ASSERT_GT(tut.ship().GetLives(), 1) << i;
    }
    EXPECT_GE(losses, 3) << "the idle ship was hit more often than it has ships";
    EXPECT_EQ(ScorersIn(tut.play.game().layer(7)), 0u);
    EXPECT_EQ(tut.ship().GetLives(), 3);
}

// The first page: each line stays until the player does what it asks, or presses Button1 once
// it has been shown a moment; the mentor's clock and bullets wait for it.
TEST(Tutorial, TheFirstPageWaitsForWhatEachLineAsks) {
    const std::uint8_t kRight = PlayHarness::bit(Right);
    const std::uint8_t kPauseKey = PlayHarness::bit(Button3);
    Tutorial tut(false, false);
    auto line = [&](int n) { return std::string(StageTutorial::PageLine(n)); };
    // Idle: the moving line stays, and nothing flies.
    for (int i = 0; i < 1500; ++i) ASSERT_EQ(tut.step(), line(0)) << i;
    EXPECT_EQ(tut.stage().t, 0);
    EXPECT_EQ(tut.bulletsInFlight(), 0u);
    // Moving the ship is what it asks.
    for (int i = 0; i < 60 && tut.stage().page == 0; ++i) tut.step(kRight);
    ASSERT_EQ(tut.stage().page, 1);
    EXPECT_EQ(tut.step(), line(1));
    // Firing: Button1 at once.
    tut.step(kFire);
    ASSERT_EQ(tut.stage().page, 2);
    EXPECT_EQ(tut.step(), line(2));
    // Pausing: the pause menu opens; its first entry goes back to the play.
    tut.step(kPauseKey);
    ASSERT_EQ(tut.stage().page, 3);
    tut.step();
    EXPECT_TRUE(tut.play.game().paused());
    tut.step(kFire);
    tut.step();
    EXPECT_FALSE(tut.play.game().paused());
    // The lines that only explain: Button1, though not in the line's first moment.
    for (int n = 3; n < StageTutorial::kPageLines; ++n) {
        SCOPED_TRACE(n);
        tut.step(kFire);  // too soon: the line stays
        tut.step();
        EXPECT_EQ(tut.step(), line(n));
        for (int i = 0; i < 300; ++i) ASSERT_EQ(tut.step(), line(n));
        tut.step(kFire);
        EXPECT_EQ(tut.stage().page, n + 1);
    }
    // Then the mentor's own lessons, whose first words Button1 also moves past.
    tut.step();
    tut.runTo(200);
    EXPECT_EQ(tut.step(), kIntro);
    tut.step(kFire);
    EXPECT_EQ(tut.step(), "");
    EXPECT_EQ(tut.stage().t, 660) << "on to the bullets";
}

TEST(Tutorial, TheMentorsFaceFollowsTheBulletSize) {
    Tutorial tut(true);
    tut.step();
    Draw& draw = tut.play.env().draw;
    const Surface* pictures = draw.GetSurface(5);
    ASSERT_NE(pictures, nullptr);
    // Which of the three face cells the back buffer shows at the face's place.
    auto faceShown = [&]() {
        const Surface& back = draw.backBuffer();
        int best = -1, bestCount = -1;
        for (int cell = 0; cell < 3; ++cell) {
            int count = 0;
            for (int y = 0; y < 64; ++y)
                for (int x = 0; x < 64; ++x) {
                    const std::uint32_t p = pictures->at(320 + x, 64 * cell + y);
                    if (pictures->isKey(p)) continue;
                    count += (back.at(160 + 240 - 32 + x, 201 - 32 + y) & 0xFFFFFF) == (p & 0xFFFFFF);
                }
            if (count > bestCount) best = cell, bestCount = count;
        }
        return best;
    };
    EXPECT_EQ(faceShown(), 0) << "normal";
    tut.play.info().BeginMode2();
    tut.step();
    EXPECT_EQ(faceShown(), 1) << "large bullets";
    tut.play.info().BeginMode1();
    tut.step();
    EXPECT_EQ(faceShown(), 2) << "small bullets";
}
