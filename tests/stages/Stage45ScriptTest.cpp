// Stages 4 and 5 through whole plays: the islands and the drift, and the final boss's end.
// (Their tables are checked with every other stage's in StageScriptsTest.)
#include <gtest/gtest.h>
#include <algorithm>
#include <map>
#include <string>
#include <vector>
#include "bosses/CharacterEnemyMaster.h"
#include "combat/CharacterEnemyPot.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShima.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "play/Random.h"
#include "stages/Stage4.h"
#include "stages/StageFactory.h"
#include "support/TestEnv.h"

namespace {
constexpr Fixed16 kDrift = 0x35555;  // 3.3333 pixels a frame

// Starts a play of mode at the given stage, with a ship that cannot be hit.
void startAt(PlayHarness& play, std::int32_t stage) {
    play.step();  // the loading frame
    play.game().player().invulnerable = 1 << 30;
    play.info().SetStage(stage);
    play.game().StartStage(stage);
}
}  // namespace

// Islands come every 20 to 29 frames from the stage's 120th frame, at y = -32, and sink 3.33
// pixels a frame with the pots; islands that have sunk below the field are gone.
TEST(Stage45Script, IslandsAndPotsSinkTogether) {
    TempWorkDir dir;
    for (std::int32_t mode : {2, 4}) {
        SCOPED_TRACE(mode);
        PlayHarness play(mode, false);
        startAt(play, 4);
        Character& back = play.game().layer(0);
        std::map<Character*, Fixed16> lastY;
        std::vector<int> born;
        std::map<std::int32_t, int> kinds;
        CharacterEnemy* pot = nullptr;
        bool potGone = false;
        Fixed16 potY = 0;
        int maxIslands = 0;
        for (int f = 0; f < 1500; ++f) {
            play.step();
            std::map<Character*, Fixed16> now;
            for (Character* c : back.GetChildren()) {
                auto* island = dynamic_cast<CharacterShima*>(c);
                if (!island) continue;
                now[c] = island->y;
                auto seen = lastY.find(c);
                if (seen == lastY.end()) {
                    // The stage clock has already moved on to the next frame.
                    born.push_back(play.game().schedule().stageFrame() - 1);
                    EXPECT_EQ(island->y, toFixed(-32) + kDrift) << "placed at -32, then one step of drift";
                    ++kinds[island->sprite];
                    const int x = island->x >> 16;
                    if (island->sprite == 0x420) {
                        EXPECT_TRUE(x >= 0 && x < 160) << x;
                    }
                    if (island->sprite == 0x421) {
                        EXPECT_TRUE(x > 320 && x <= 480) << x;
                    }
                    if (island->sprite == 0x422) {
                        EXPECT_TRUE(x >= 0 && x < 480) << x;
                    }
                } else {
                    EXPECT_EQ(island->y - seen->second, kDrift);
                }
            }
            lastY = now;
            maxIslands = std::max(maxIslands, static_cast<int>(now.size()));
            // The first pot (frame 180 at (100, -60)) sinks at the same rate.
            if (!pot) {
                for (Character* c : play.game().enemyRoot().GetChildren()) {
                    if (auto* p = dynamic_cast<CharacterEnemyPot*>(c)) pot = p, potY = p->y;
                }
            } else if (f < 400 && !potGone) {
                // Followed only while it is still an enemy: a pot that is gone has been deleted.
                const auto& enemies = play.game().enemyRoot().GetChildren();
                potGone = std::find(enemies.begin(), enemies.end(), pot) == enemies.end() || !pot->alive;
                if (!potGone) {
                    EXPECT_EQ(pot->y - potY, kDrift);
                    potY = pot->y;
                }
            }
        }
        ASSERT_GT(born.size(), 30u);
        EXPECT_EQ(born.front(), 119) << "the stage's 120th frame";
        for (std::size_t i = 1; i < born.size(); ++i) {
            EXPECT_GE(born[i] - born[i - 1], 20);
            EXPECT_LE(born[i] - born[i - 1], 29);
        }
        EXPECT_EQ(kinds.size(), 3u) << "all three islands appear";
        EXPECT_NE(pot, nullptr);
        // From -32 to below 632 takes 200 frames: at most ten islands are ever alive.
        EXPECT_LE(maxIslands, 10);
    }
}

// Each island's three draws come in a fixed order: its interval, then which island, then its
// x; frames that bring no island draw nothing. Replays depend on this order.
TEST(Stage45Script, IslandDrawsIntervalThenChoiceThenX) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameInfo info;
    info.SetGameMode(4);
    Character back(&h.env, &h.log);
    info.SetBackTree(&back);
    Stage4b stage(&h.env, &h.log, &info);
    playrand::srand(9);
    std::map<std::int32_t, int> kinds;
    int islands = 0;
    for (int f = 0; f < 3000 && islands < 60; ++f) {
        const std::uint32_t before = playrand::state();
        const std::int32_t timerBefore = stage.islandTimer;
        const std::size_t count = back.GetChildren().size();
        stage.Step();
        if (back.GetChildren().size() == count) {
            EXPECT_EQ(playrand::state(), before) << f;
            continue;
        }
        if (islands == 0) {
            EXPECT_EQ(f, 119) << "the stage's 120th frame";
        }
        ++islands;
        const std::uint32_t after = playrand::state();
        auto* island = static_cast<CharacterShima*>(back.GetChildren().back());
        playrand::setState(before);
        const int interval = 20 + playrand::rand() % 10;
        const int choice = playrand::rand() % 3;
        const int draw = playrand::rand();
        EXPECT_EQ(playrand::state(), after) << "three draws per island";
        playrand::setState(after);
        EXPECT_EQ(stage.islandTimer, timerBefore + 1 - interval);
        const std::int32_t sprite[3] = {0x420, 0x421, 0x422};
        const int x[3] = {draw % 160, 480 - draw % 160, draw % 480};
        EXPECT_EQ(island->sprite, sprite[choice]) << "island " << islands;
        EXPECT_EQ(island->x, toFixed(x[choice])) << "island " << islands;
        EXPECT_EQ(island->y, toFixed(-32));
        ++kinds[island->sprite];
    }
    EXPECT_EQ(islands, 60);
    EXPECT_EQ(kinds.size(), 3u);
}

// Through the play scene: the final boss lives on at negative hit points; its death sets flag
// 1 once, after its hundred items, and the play ends with the scorer.
TEST(Stage45Script, FinalBossDeathEndsTheSecondLap) {
    TempWorkDir dir;
    for (std::int32_t mode : {3, 5}) {
        SCOPED_TRACE(mode);
        PlayHarness play(mode, false);
        startAt(play, 5);
        play.run(200);
        CharacterEnemy* found = nullptr;
        for (Character* c : play.game().enemyRoot().GetChildren()) {
            if (auto* e = dynamic_cast<CharacterEnemy*>(c); e && ClassNameOf(*e).rfind("CharacterEnemyMaster", 0) == 0)
                found = e;
        }
        ASSERT_NE(found, nullptr);
        // Straight to the last phase with a few hit points left.
        auto* old = dynamic_cast<CharacterEnemyMaster*>(found);
        auto* current = dynamic_cast<CharacterEnemyMasterb*>(found);
        if (old) old->phase = 5;
        if (current) current->phase = 6;
        found->hitPoints = 3;
        int flags = 0, frames = 0, lowest = 3;
        while (!play.ended() && frames < 3000) {
            play.step(PlayHarness::bit(Button1));
            ++frames;
            if (play.stage() == 5) {
                lowest = std::min(lowest, found->hitPoints);
                EXPECT_TRUE(found->alive);
            }
            if (play.info().GetFlag(FlagStageCleared)) {
                ++flags;
                EXPECT_GE(old ? old->deathCounter : current->deathCounter, 100);
            }
        }
        EXPECT_LT(lowest, 0);
        EXPECT_EQ(flags, 1);
        EXPECT_TRUE(play.ended()) << "the scorer ends the play after stage 5";
    }
}
