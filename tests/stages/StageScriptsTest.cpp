// Every stage table the game has, checked from one table of expectations: add a row for each new
// stage class (one game mode that runs it is enough; rows of both versions cover both).
#include <gtest/gtest.h>
#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <vector>
#include "combat/CharacterEnemy.h"
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "stages/SpawnFactory.h"
#include "stages/StageFactory.h"
#include "support/TestEnv.h"

namespace {
// A sprite's cell: its surface and rectangle.
struct SpriteCut {
    std::int32_t id;
    int surface, left, top, width, height;
};
// A white-flash copy and the sprite it copies.
struct FlashCopy {
    std::int32_t copy, source;
};

enum class Drift { Keeps, Stops, Sinks };

// One entry of a stage's script as the stage tables of the design list it, written out by hand
// so that a wrong kind or point in the game's own tables cannot pass.
struct Spot {
    int entry;  // numbered from 1
    int delay, kind, x, y;
};

struct StageTable {
    const char* stageClass;
    std::int32_t mode;  // a game mode that runs it
    std::int32_t stage;
    std::size_t entries;
    const char* boss;              // what CreateBoss builds
    std::vector<int> bossFrames;   // stage frames of the boss entries
    int music;                     // BgmId
    Drift drift;                   // what Begin does to the drift left by the stage before
    std::vector<SpriteCut> sprites;
    std::vector<FlashCopy> copies;
    std::vector<Spot> spots;
};

const std::vector<SpriteCut> kStage1Sprites = {{0x500, 5, 0, 0, 128, 192}, {0x501, 6, 0, 0, 128, 192}};
const std::vector<SpriteCut> kStage2Sprites = {
    {0x500, 5, 0, 0, 480, 96},    {0x501, 5, 0, 192, 64, 32},   {0x502, 5, 64, 192, 64, 64},
    {0x503, 5, 0, 96, 480, 96},   {0x504, 5, 0, 224, 64, 32},   {0x505, 5, 128, 192, 64, 64},
    {0x506, 5, 0, 256, 480, 224}, {0x507, 5, 0, 480, 240, 175}, {0x508, 6, 0, 0, 240, 175},
    {0x509, 5, 380, 0, 100, 96}};
const std::vector<SpriteCut> kStage3Sprites = {{0x500, 5, 0, 0, 320, 160},  {0x510, 5, 0, 160, 80, 80},
                                               {0x520, 5, 80, 160, 80, 80}, {0x501, 6, 0, 0, 320, 160},
                                               {0x511, 6, 0, 160, 80, 80},  {0x521, 6, 80, 160, 80, 80}};

const std::vector<SpriteCut> kStage4Sprites = {{0x500, 5, 0, 0, 640, 200},   {0x510, 5, 0, 200, 32, 32},
                                               {0x511, 5, 32, 200, 32, 32},  {0x512, 5, 64, 200, 32, 32},
                                               {0x513, 5, 96, 200, 32, 32},  {0x501, 6, 0, 0, 640, 200}};
const std::vector<SpriteCut> kStage5Sprites = {{0x500, 5, 0, 0, 320, 310},  {0x501, 5, 320, 0, 64, 64},
                                               {0x502, 5, 320, 64, 64, 64}, {0x503, 5, 320, 128, 64, 64},
                                               {0x510, 6, 0, 0, 320, 310}};

const std::vector<StageTable> kTables = {
    {"Stage1", 2, 1, 25, "CharacterEnemyBoss1", {1100}, 1, Drift::Keeps, kStage1Sprites, {{0x501, 0x500}},
     {{1, 60, 1, 30, 30}, {5, 180, 2, 240, 50}, {17, 300, 7, 240, 200}, {19, 2, 6, 200, 230}}},
    {"Stage1b", 4, 1, 48, "CharacterEnemyBoss1b", {1130}, 1, Drift::Stops, kStage1Sprites, {{0x501, 0x500}},
     {{1, 60, 8, 240, 30}, {21, 1, 1, 300, 400}, {40, 300, 7, 240, 200}, {48, 0, 6, 240, 150}}},
    {"Stage2", 2, 2, 66, "CharacterEnemyBoss2", {90}, 2, Drift::Keeps, kStage2Sprites, {{0x508, 0x507}},
     {{1, 60, 2, 30, 30}, {5, 0, 7, 240, 200}, {56, 0, 6, 480, 580}, {61, 600, 2, 450, 500}, {66, 30, 2, 380, 100}}},
    {"Stage2b", 5, 2, 69, "CharacterEnemyBoss2b", {90}, 2, Drift::Stops, kStage2Sprites, {{0x508, 0x507}},
     {{6, 0, 6, 0, 20}, {64, 300, 8, 240, 50}, {65, 0, 2, 240, 50}, {69, 0, 2, 380, 100}}},
    {"Stage3", 3, 3, 90, "CharacterEnemyBoss3", {1550, 1550}, 3, Drift::Keeps, kStage3Sprites, {{0x501, 0x500}, {0x511, 0x510}, {0x521, 0x520}},
     {{6, 10, 4, 50, 130}, {21, 60, 4, 10, 100}, {55, 20, 4, 200, 120}, {73, 600, 7, 240, 220}, {74, 0, 7, 240, 220}, {90, 0, 6, 280, 162}}},
    {"Stage3b", 4, 3, 90, "CharacterEnemyBoss3b", {1550, 1550}, 3, Drift::Stops, kStage3Sprites, {{0x501, 0x500}, {0x511, 0x510}, {0x521, 0x520}},
     {{8, 30, 1, 180, 60}, {21, 60, 4, 10, 100}, {72, 0, 3, 200, 120}, {76, 2, 6, 200, 230}}},
    {"Stage4", 2, 4, 116, "CharacterEnemyBoss4", {2670}, 4, Drift::Sinks, kStage4Sprites, {{0x501, 0x500}},
     {{1, 60, 5, 240, -60}, {16, 10, 1, 420, -70}, {40, 240, 1, 80, -60}, {62, 780, 7, 240, 200}, {63, 0, 6, -20, 270}, {116, 0, 6, 340, 122}}},
    {"Stage4b", 5, 4, 120, "CharacterEnemyBoss4b", {2610}, 4, Drift::Sinks, kStage4Sprites, {{0x501, 0x500}},
     {{16, 10, 1, 420, -70}, {47, 0, 1, 440, -70}, {48, 20, 1, 410, -60}, {66, 720, 7, 240, 200}, {67, 0, 6, -20, 270}, {120, 0, 6, 340, 122}}},
    {"Stage5", 3, 5, 1, "CharacterEnemyMaster", {60}, 5, Drift::Keeps, kStage5Sprites, {{0x510, 0x500}},
     {{1, 60, 7, 240, 200}}},
    {"Stage5b", 5, 5, 1, "CharacterEnemyMasterb", {180}, 5, Drift::Stops, kStage5Sprites, {{0x510, 0x500}},
     {{1, 180, 7, 240, 200}}},
};

// The stage frame of each entry: the first entry's delay, then each delay added to the last.
std::vector<int> spawnFrames(const Script& script) {
    std::vector<int> frames;
    int f = 0;
    for (const ScriptEntry& e : script) frames.push_back(f += e.delay);
    return frames;
}

Script scriptOf(const StageTable& t, HeadlessEnv& h, GameInfo& info) {
    Script script;
    auto stage = CreateStage(t.mode, t.stage, &h.env, &h.log, &info);
    if (stage) stage->Begin(script);
    return script;
}

// The box (left, top, right, bottom) of the pixels that are not transparent in a sprite's cell,
// relative to the cell; right < left when there are none.
std::array<int, 4> LitBox(const Surface& surface, const SpriteDef& cell) {
    std::array<int, 4> box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < cell.srcBottom - cell.srcTop; ++y) {
        for (int x = 0; x < cell.srcRight - cell.srcLeft; ++x) {
            if (surface.at(cell.srcLeft + x, cell.srcTop + y) == 0) continue;
            box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x), std::max(box[3], y)};
        }
    }
    return box;
}

// A current-version spawn is of a "b" class (a portal names what it carries).
bool isCurrentClass(const std::string& name) {
    const std::size_t end = name.back() == ')' ? name.size() - 1 : name.size();
    return end > 0 && name[end - 1] == 'b';
}
}  // namespace

TEST(StageScripts, EveryTableHasItsEntriesMarksBossImagesMusicAndDrift) {
    TempWorkDir dir;
    for (const StageTable& t : kTables) {
        SCOPED_TRACE(t.stageClass);
        HeadlessEnv h;
        GameInfo info;
        info.SetGameMode(t.mode);
        info.SetMarkPosition(toFixed(1), 0x35555);  // as stage 4 leaves it
        Script script(5);                          // entries left from the stage before
        auto stage = CreateStage(t.mode, t.stage, &h.env, &h.log, &info);
        ASSERT_TRUE(stage);
        stage->Begin(script);

        ASSERT_EQ(script.size(), t.entries);
        const std::vector<int> frames = spawnFrames(script);
        std::vector<int> bossFrames;
        for (std::size_t i = 0; i < script.size(); ++i) {
            const ScriptEntry& e = script[i];
            EXPECT_EQ(e.mark, e.kind == SpawnBoss ? 1 : 0) << "entry " << i + 1;
            // Every entry builds something in its own version: kind 8 only in the current one.
            EXPECT_TRUE(e.kind >= SpawnPot && e.kind <= (IsOldVersion(t.mode) ? SpawnBoss : SpawnEnemy2))
                << "entry " << i + 1 << " kind " << e.kind;
            EXPECT_GE(e.delay, 0) << "entry " << i + 1;
            if (e.kind == SpawnBoss) bossFrames.push_back(frames[i]);
        }
        EXPECT_EQ(bossFrames, t.bossFrames);

        EXPECT_EQ(h.env.bgm.currentId(), t.music);
        const Point drift = t.drift == Drift::Stops   ? Point{0, 0}
                            : t.drift == Drift::Sinks ? Point{0, 0x35555}  // 3.3333 pixels a frame down
                                                      : Point{toFixed(1), 0x35555};
        EXPECT_EQ(info.GetMarkPosition(), drift);

        for (const SpriteCut& s : t.sprites) {
            const SpriteDef* def = h.env.draw.sprite(s.id);
            ASSERT_NE(def, nullptr) << std::hex << s.id;
            EXPECT_EQ(def->surface, s.surface) << std::hex << s.id;
            EXPECT_EQ(def->srcLeft, s.left) << std::hex << s.id;
            EXPECT_EQ(def->srcTop, s.top) << std::hex << s.id;
            EXPECT_EQ(def->srcRight - def->srcLeft, s.width) << std::hex << s.id;
            EXPECT_EQ(def->srcBottom - def->srcTop, s.height) << std::hex << s.id;
            EXPECT_EQ(def->halfWidth, s.width / 2) << std::hex << s.id;
            EXPECT_EQ(def->halfHeight, s.height / 2) << std::hex << s.id;
        }

        // A flash copy shows its source's picture where its own cell is: lit exactly where the
        // source is (an odd-sized picture is drawn scaled one pixel smaller, so there only the
        // box of its lit pixels is compared, to a pixel).
        for (const FlashCopy& f : t.copies) {
            SCOPED_TRACE(testing::Message() << std::hex << f.copy);
            const SpriteDef* copy = h.env.draw.sprite(f.copy);
            const SpriteDef* source = h.env.draw.sprite(f.source);
            ASSERT_TRUE(copy && source);
            const Surface& to = *h.env.draw.GetSurface(copy->surface);
            const Surface& from = *h.env.draw.GetSurface(source->surface);
            const std::array<int, 4> lit = LitBox(to, *copy), picture = LitBox(from, *source);
            ASSERT_GE(picture[2], picture[0]) << "the source has a picture";
            if (source->width % 2 == 1 || source->height % 2 == 1) {
                for (int i = 0; i < 4; ++i) EXPECT_NEAR(lit[i], picture[i], 1) << "box side " << i;
                continue;
            }
            int misplaced = 0;
            for (int y = 0; y < source->height; ++y) {
                for (int x = 0; x < source->width; ++x) {
                    misplaced += (to.at(copy->srcLeft + x, copy->srcTop + y) != 0) !=
                                 (from.at(source->srcLeft + x, source->srcTop + y) != 0);
                }
            }
            EXPECT_EQ(misplaced, 0);
        }

        std::unique_ptr<CharacterEnemy> boss(stage->CreateBoss());
        ASSERT_TRUE(boss);
        EXPECT_EQ(ClassNameOf(*boss), t.boss);
    }
}

TEST(StageScripts, VersionsShareWhatTheyShare) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameInfo info;
    auto entries = [&](std::int32_t mode, std::int32_t stage) {
        for (const StageTable& t : kTables)
            if (t.mode == mode && t.stage == stage) return scriptOf(t, h, info);
        return Script{};
    };
    auto same = [](const ScriptEntry& a, const ScriptEntry& b) {
        return a.delay == b.delay && a.mark == b.mark && a.kind == b.kind && a.x == b.x && a.y == b.y;
    };
    // Stage 2: the first 63 entries alike; the current version's late fighters come with divers.
    const Script old2 = entries(2, 2), new2 = entries(5, 2);
    ASSERT_EQ(old2.size(), 66u);
    ASSERT_EQ(new2.size(), 69u);
    for (std::size_t i = 0; i < 63; ++i) EXPECT_TRUE(same(old2[i], new2[i])) << "entry " << i + 1;
    for (std::size_t i = 63; i < 69; i += 2) {
        EXPECT_EQ(new2[i].kind, SpawnEnemy2) << "entry " << i + 1;
        EXPECT_EQ(new2[i + 1].kind, SpawnEnemy1) << "entry " << i + 2;
        EXPECT_EQ(new2[i + 1].delay, 0) << "joined in the same frame";
        EXPECT_EQ(new2[i].x, new2[i + 1].x);
        EXPECT_EQ(new2[i].y, new2[i + 1].y);
        EXPECT_EQ(new2[i].x, old2[63 + (i - 63) / 2].x) << "at the old fighter's point";
    }
    // Stage 3: one script for both versions.
    const Script old3 = entries(3, 3), new3 = entries(4, 3);
    ASSERT_EQ(old3.size(), new3.size());
    for (std::size_t i = 0; i < old3.size(); ++i) EXPECT_TRUE(same(old3[i], new3[i])) << "entry " << i + 1;
    // Stage 4: the first 46 entries alike, and the boss's entrance after the boss entry.
    const Script old4 = entries(2, 4), new4 = entries(5, 4);
    ASSERT_EQ(old4.size(), 116u);
    ASSERT_EQ(new4.size(), 120u);
    for (std::size_t i = 0; i < 46; ++i) EXPECT_TRUE(same(old4[i], new4[i])) << "entry " << i + 1;
    for (std::size_t i = 62; i < 116; ++i) EXPECT_TRUE(same(old4[i], new4[i + 4])) << "entry " << i + 1;
    EXPECT_EQ(old4[61].kind, SpawnBoss);
    EXPECT_EQ(new4[65].kind, SpawnBoss);
}

// Each stage is reached the way a play reaches it, by clearing the stages before, and runs its
// whole script: every entry spawns on its frame, at its point, in the classes of its version.
TEST(StageScripts, EveryStagePlaysItsWholeScriptAfterTheStagesBefore) {
    for (const StageTable& t : kTables) {
        SCOPED_TRACE(t.stageClass);
        TempWorkDir dir;
        HeadlessEnv h;
        GameInfo scratch;
        scratch.SetGameMode(t.mode);
        const Script script = scriptOf(t, h, scratch);
        const std::vector<int> frames = spawnFrames(script);

        PlayHarness play(t.mode, false);
        play.step();  // the loading frame
        while (play.stage() < t.stage && !play.ended()) {
            play.info().SetFlag(FlagStageCleared, true);
            play.step();
        }
        ASSERT_EQ(play.stage(), t.stage);
        for (int f = 0; f <= frames.back() + 1; ++f) {
            play.game().player().invulnerable = 1 << 20;
            play.step();
        }
        ASSERT_EQ(play.stage(), t.stage) << "the boss is still there";

        std::vector<PlayHarness::Spawn> spawns;
        for (const auto& s : play.spawns())
            if (s.stage == t.stage) spawns.push_back(s);
        ASSERT_EQ(spawns.size(), script.size());
        for (std::size_t i = 0; i < script.size(); ++i) {
            const ScriptEntry& e = script[i];
            const PlayHarness::Spawn& s = spawns[i];
            EXPECT_EQ(s.frame, frames[i]) << "entry " << i + 1;
            EXPECT_EQ(s.kind, e.kind) << "entry " << i + 1;
            EXPECT_EQ(s.x, toPixel(e.x)) << "entry " << i + 1;
            EXPECT_EQ(s.y, toPixel(e.y)) << "entry " << i + 1;
            if (e.kind == SpawnBoss) {
                EXPECT_EQ(s.className, t.boss) << "entry " << i + 1;
            } else if (e.kind != SpawnEmptyPortal) {
                EXPECT_EQ(isCurrentClass(s.className), !IsOldVersion(t.mode)) << s.className;
            }
        }
        ASSERT_FALSE(t.spots.empty());
        for (const Spot& spot : t.spots) {
            SCOPED_TRACE(testing::Message() << "entry " << spot.entry);
            ASSERT_LE(static_cast<std::size_t>(spot.entry), script.size());
            const int i = spot.entry - 1;
            EXPECT_EQ(script[i].delay, spot.delay);
            EXPECT_EQ(spawns[i].kind, spot.kind);
            EXPECT_EQ(spawns[i].x, spot.x);
            EXPECT_EQ(spawns[i].y, spot.y);
        }
    }
}
