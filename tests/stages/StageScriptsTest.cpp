// Every stage table the game has, checked from one table of expectations: add a row for each new
// stage class (one game mode that runs it is enough; rows of both versions cover both).
#include <gtest/gtest.h>
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
struct SpriteSize {
    std::int32_t id;
    int surface, width, height;
};

enum class Drift { Keeps, Stops, Sinks };

struct StageTable {
    const char* stageClass;
    std::int32_t mode;  // a game mode that runs it
    std::int32_t stage;
    std::size_t entries;
    const char* boss;              // what CreateBoss builds
    std::vector<int> bossFrames;   // stage frames of the boss entries
    int music;                     // BgmId
    Drift drift;                   // what Begin does to the drift left by the stage before
    std::vector<SpriteSize> sprites;
};

const std::vector<SpriteSize> kStage1Sprites = {{0x500, 5, 128, 192}, {0x501, 6, 128, 192}};
const std::vector<SpriteSize> kStage2Sprites = {
    {0x500, 5, 480, 96}, {0x501, 5, 64, 32},   {0x502, 5, 64, 64},   {0x503, 5, 480, 96},  {0x504, 5, 64, 32},
    {0x505, 5, 64, 64},  {0x506, 5, 480, 224}, {0x507, 5, 240, 175}, {0x508, 6, 240, 175}, {0x509, 5, 100, 96}};
const std::vector<SpriteSize> kStage3Sprites = {{0x500, 5, 320, 160}, {0x510, 5, 80, 80}, {0x520, 5, 80, 80},
                                                {0x501, 6, 320, 160}, {0x511, 6, 80, 80}, {0x521, 6, 80, 80}};

const std::vector<SpriteSize> kStage4Sprites = {{0x500, 5, 640, 200}, {0x510, 5, 32, 32}, {0x511, 5, 32, 32},
                                                {0x512, 5, 32, 32},   {0x513, 5, 32, 32}, {0x501, 6, 640, 200}};
const std::vector<SpriteSize> kStage5Sprites = {
    {0x500, 5, 320, 310}, {0x501, 5, 64, 64}, {0x502, 5, 64, 64}, {0x503, 5, 64, 64}, {0x510, 6, 320, 310}};

const std::vector<StageTable> kTables = {
    {"Stage1", 2, 1, 25, "CharacterEnemyBoss1", {1100}, 1, Drift::Keeps, kStage1Sprites},
    {"Stage1b", 4, 1, 48, "CharacterEnemyBoss1b", {1130}, 1, Drift::Stops, kStage1Sprites},
    {"Stage2", 2, 2, 66, "CharacterEnemyBoss2", {90}, 2, Drift::Keeps, kStage2Sprites},
    {"Stage2b", 5, 2, 69, "CharacterEnemyBoss2b", {90}, 2, Drift::Stops, kStage2Sprites},
    {"Stage3", 3, 3, 90, "CharacterEnemyBoss3", {1550, 1550}, 3, Drift::Keeps, kStage3Sprites},
    {"Stage3b", 4, 3, 90, "CharacterEnemyBoss3b", {1550, 1550}, 3, Drift::Stops, kStage3Sprites},
    {"Stage4", 2, 4, 116, "CharacterEnemyBoss4", {2670}, 4, Drift::Sinks, kStage4Sprites},
    {"Stage4b", 5, 4, 120, "CharacterEnemyBoss4b", {2610}, 4, Drift::Sinks, kStage4Sprites},
    {"Stage5", 3, 5, 1, "CharacterEnemyMaster", {60}, 5, Drift::Keeps, kStage5Sprites},
    {"Stage5b", 5, 5, 1, "CharacterEnemyMasterb", {180}, 5, Drift::Stops, kStage5Sprites},
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

        for (const SpriteSize& s : t.sprites) {
            const SpriteDef* def = h.env.draw.sprite(s.id);
            ASSERT_NE(def, nullptr) << std::hex << s.id;
            EXPECT_EQ(def->surface, s.surface) << std::hex << s.id;
            EXPECT_EQ(def->srcRight - def->srcLeft, s.width) << std::hex << s.id;
            EXPECT_EQ(def->srcBottom - def->srcTop, s.height) << std::hex << s.id;
            EXPECT_EQ(def->halfWidth, s.width / 2) << std::hex << s.id;
            EXPECT_EQ(def->halfHeight, s.height / 2) << std::hex << s.id;
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
    }
}
