#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "stages/StageFactory.h"
#include "support/TestEnv.h"

namespace {
struct Expected {
    std::int32_t frame;
    std::int32_t kind;
    const char* className;
};

// Runs stage 1 of a mode with a ship that cannot be hit, so the whole script plays out.
std::vector<PlayHarness::Spawn> stage1Spawns(std::int32_t mode, int frames) {
    TempWorkDir dir;
    PlayHarness play(mode, false);
    play.step();  // the loading frame
    play.game().player().invulnerable = 1 << 20;
    play.run(frames);
    return play.spawns();
}

void expectSpawns(const std::vector<PlayHarness::Spawn>& got, const std::vector<Expected>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(got[i].stage, 1) << "entry " << i + 1;
        EXPECT_EQ(got[i].frame, want[i].frame) << "entry " << i + 1;
        EXPECT_EQ(got[i].kind, want[i].kind) << "entry " << i + 1;
        EXPECT_EQ(got[i].className, want[i].className) << "entry " << i + 1;
    }
}

constexpr const char* kPot = "CharacterEnemyPot";
constexpr const char* kFighter = "CharacterEnemyBorn(CharacterEnemy1)";
constexpr const char* kEmpty = "CharacterEnemyBorn";
}  // namespace

// Frames count the stage's first frame as 0; delays add up from entry to entry.
TEST(Stage1Script, OldVersionSpawnsOnItsFrames) {
    const std::vector<Expected> want = {
        {60, 1, kPot},      {70, 1, kPot},      {80, 1, kPot},      {90, 1, kPot},
        {270, 2, kFighter}, {300, 2, kFighter}, {330, 2, kFighter}, {510, 1, kPot},
        {520, 1, kPot},     {530, 1, kPot},     {540, 1, kPot},     {550, 1, kPot},
        {560, 1, kPot},     {740, 2, kFighter}, {770, 2, kFighter}, {800, 2, kFighter},
        {1100, 7, "CharacterEnemyBoss1"},       {1100, 6, kEmpty},  {1102, 6, kEmpty},
        {1102, 6, kEmpty},  {1102, 6, kEmpty},  {1102, 6, kEmpty},  {1102, 6, kEmpty},
        {1102, 6, kEmpty},  {1102, 6, kEmpty},
    };
    for (std::int32_t mode : {2, 3}) {
        SCOPED_TRACE(mode);
        expectSpawns(stage1Spawns(mode, 1110), want);
    }
}

TEST(Stage1Script, CurrentVersionSpawnsOnItsFrames) {
    constexpr const char* pot = "CharacterEnemyPotb";
    constexpr const char* diver = "CharacterEnemyBorn(CharacterEnemy2b)";
    constexpr const char* fighter = "CharacterEnemyBorn(CharacterEnemy1b)";
    std::vector<Expected> want = {
        {60, 8, diver},    {70, 8, diver},    {80, 8, diver},    {140, 1, pot},     {150, 1, pot},
        {160, 1, pot},     {220, 8, diver},   {240, 8, diver},   {270, 8, diver},   {270, 1, pot},
        {280, 8, diver},   {280, 1, pot},     {290, 1, pot},     {320, 8, diver},   {340, 8, diver},
        {460, 2, fighter}, {490, 2, fighter}, {500, 2, fighter}, {560, 2, fighter}, {580, 2, fighter},
    };
    for (int f = 581; f <= 590; ++f) want.push_back({f, 1, pot});
    for (int f : {710, 720, 730, 760, 770, 780, 810, 820, 830}) want.push_back({f, 8, diver});
    want.push_back({1130, 7, "CharacterEnemyBoss1b"});
    want.push_back({1130, 6, kEmpty});
    for (int i = 0; i < 7; ++i) want.push_back({1132, 6, kEmpty});
    for (std::int32_t mode : {4, 5}) {
        SCOPED_TRACE(mode);
        expectSpawns(stage1Spawns(mode, 1140), want);
    }
}

TEST(Stage1Script, BeginReplacesTheListAndTheCurrentVersionStopsTheDrift) {
    TempWorkDir dir;
    HeadlessEnv h;
    GameInfo info;
    info.SetMarkPosition(toFixed(0), 0x35555);  // as stage 4 leaves it
    Script script(3);                           // entries left from a previous stage

    auto old = CreateStage(2, 1, &h.env, &h.log, &info);
    ASSERT_TRUE(old);
    old->Begin(script);
    EXPECT_EQ(script.size(), 25u);
    EXPECT_EQ(info.GetMarkPosition(), (Point{0, 0x35555})) << "the old version leaves the drift alone";
    EXPECT_EQ(h.env.bgm.currentId(), 1);

    auto current = CreateStage(4, 1, &h.env, &h.log, &info);
    ASSERT_TRUE(current);
    current->Begin(script);
    EXPECT_EQ(script.size(), 48u);
    EXPECT_EQ(info.GetMarkPosition(), (Point{0, 0}));
    // The boss pictures: the whole 128 x 192 bitmap and its flash copy of the same size.
    for (std::int32_t id : {0x500, 0x501}) {
        const SpriteDef* s = h.env.draw.sprite(id);
        ASSERT_NE(s, nullptr) << id;
        EXPECT_EQ(s->srcRight - s->srcLeft, 128);
        EXPECT_EQ(s->srcBottom - s->srcTop, 192);
        EXPECT_EQ(s->halfWidth, 64);
        EXPECT_EQ(s->halfHeight, 96);
    }
}

TEST(Stage1Script, OnlyBuiltStagesAreCreated) {
    HeadlessEnv h;
    GameInfo info;
    struct Case {
        std::int32_t mode, stage;
        bool built;
    };
    for (const Case c : {Case{2, 1, true}, Case{3, 1, true}, Case{4, 1, true}, Case{5, 1, true}, Case{4, 6, false},
                         Case{4, 0, false}, Case{1, 1, true}, Case{1, 2, false}, Case{0, 1, false}, Case{6, 1, false}}) {
        EXPECT_EQ(CreateStage(c.mode, c.stage, &h.env, &h.log, &info) != nullptr, c.built)
            << "mode " << c.mode << " stage " << c.stage;
    }
}
