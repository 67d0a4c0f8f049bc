// Stages 4 and 5: their tables, the islands and the drift through whole plays, and the final
// boss's end through the play scene.
#include <gtest/gtest.h>
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
#include "stages/Stage4.h"
#include "stages/StageFactory.h"
#include "support/TestEnv.h"

namespace {
constexpr Fixed16 kDrift = 0x35555;  // 3.3333 pixels a frame

struct SpriteSize {
    std::int32_t id;
    int w, h, surface;
};

struct StageRow {
    std::int32_t mode, stage;
    std::size_t entries;
    int bossFrame;  // the sum of the delays up to the boss entry
    const char* boss;
    int music;
    bool setsDrift;
    Fixed16 driftY;
    std::vector<SpriteSize> sprites;
};

const std::vector<SpriteSize> kStage4Sprites = {{0x500, 640, 200, 5}, {0x510, 32, 32, 5}, {0x511, 32, 32, 5},
                                                {0x512, 32, 32, 5},   {0x513, 32, 32, 5}, {0x501, 640, 200, 6}};
const std::vector<SpriteSize> kStage5Sprites = {
    {0x500, 320, 310, 5}, {0x501, 64, 64, 5}, {0x502, 64, 64, 5}, {0x503, 64, 64, 5}, {0x510, 320, 310, 6}};

const StageRow kRows[] = {
    {2, 4, 116, 2670, "CharacterEnemyBoss4", 4, true, kDrift, kStage4Sprites},
    {5, 4, 120, 2610, "CharacterEnemyBoss4b", 4, true, kDrift, kStage4Sprites},
    {3, 5, 1, 60, "CharacterEnemyMaster", 5, false, 0, kStage5Sprites},
    {5, 5, 1, 180, "CharacterEnemyMasterb", 5, true, 0, kStage5Sprites},
};

// Starts a play of mode at the given stage, with a ship that cannot be hit.
void startAt(PlayHarness& play, std::int32_t stage) {
    play.step();  // the loading frame
    play.game().player().invulnerable = 1 << 30;
    play.info().SetStage(stage);
    play.game().StartStage(stage);
}
}  // namespace

TEST(Stage45Script, TablesOfStagesFourAndFive) {
    TempWorkDir dir;
    for (const StageRow& row : kRows) {
        SCOPED_TRACE(testing::Message() << "mode " << row.mode << " stage " << row.stage);
        HeadlessEnv h;
        GameInfo info;
        info.SetGameMode(row.mode);
        info.SetMarkPosition(toFixed(1), toFixed(2));  // left by an earlier stage
        auto stage = CreateStage(row.mode, row.stage, &h.env, &h.log, &info);
        ASSERT_TRUE(stage);
        Script script(7);
        stage->Begin(script);
        ASSERT_EQ(script.size(), row.entries);
        int frame = 0, bosses = 0;
        for (const ScriptEntry& e : script) {
            frame += e.delay;
            EXPECT_EQ(e.mark, e.kind == 7 ? 1 : 0);
            if (e.kind != 7) continue;
            ++bosses;
            EXPECT_EQ(frame, row.bossFrame);
            EXPECT_EQ(e.x, toFixed(240));
            EXPECT_EQ(e.y, toFixed(200));
        }
        EXPECT_EQ(bosses, 1);
        EXPECT_EQ(h.env.bgm.currentId(), row.music);
        const Point drift = row.setsDrift ? Point{0, row.driftY} : Point{toFixed(1), toFixed(2)};
        EXPECT_EQ(info.GetMarkPosition(), drift);
        for (const SpriteSize& s : row.sprites) {
            const SpriteDef* d = h.env.draw.sprite(s.id);
            ASSERT_NE(d, nullptr) << s.id;
            EXPECT_EQ(d->srcRight - d->srcLeft, s.w) << s.id;
            EXPECT_EQ(d->srcBottom - d->srcTop, s.h) << s.id;
            EXPECT_EQ(d->halfWidth, s.w / 2) << s.id;
            EXPECT_EQ(d->surface, s.surface) << s.id;
        }
        std::unique_ptr<CharacterEnemy> boss(stage->CreateBoss());
        EXPECT_EQ(ClassNameOf(*boss), row.boss);
    }
}

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
                    if (island->sprite == 0x420) EXPECT_TRUE(x >= 0 && x < 160) << x;
                    if (island->sprite == 0x421) EXPECT_TRUE(x > 320 && x <= 480) << x;
                    if (island->sprite == 0x422) EXPECT_TRUE(x >= 0 && x < 480) << x;
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
            } else if (pot->alive && f < 400) {
                EXPECT_EQ(pot->y - potY, kDrift);
                potY = pot->y;
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

// The final boss arrives alone: at frame 60 in the old version, 180 in the current one.
TEST(Stage45Script, FinalBossArrivesAlone) {
    TempWorkDir dir;
    struct Case {
        std::int32_t mode;
        int frame;
        const char* boss;
    };
    for (const Case c : {Case{3, 60, "CharacterEnemyMaster"}, Case{5, 180, "CharacterEnemyMasterb"}}) {
        PlayHarness play(c.mode, false);
        startAt(play, 5);
        play.run(400);
        std::vector<PlayHarness::Spawn> stage5;
        for (const auto& s : play.spawns()) {
            if (s.stage == 5) stage5.push_back(s);
        }
        ASSERT_EQ(stage5.size(), 1u) << c.mode;
        EXPECT_EQ(stage5[0], (PlayHarness::Spawn{5, c.frame, 7, c.boss}));
    }
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
