// Whole laps through every stage, played by an autopilot on the buttons alone (so that the
// record holds the whole play) with a ship that cannot be hit, then re-simulated from the
// replay file the title wrote.
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "bosses/Boss2Parts.h"
#include "combat/CharacterEnemy.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterScorer.h"
#include "input/InputButton.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/Score.h"
#include "support/PlayProbes.h"
#include "support/TestEnv.h"

namespace {
constexpr int kMaxFrames = 60 * 60 * 30;  // half an hour of play: far more than a lap takes

void collect(Character& root, std::vector<CharacterEnemy*>& out) {
    for (Character* c : root.GetChildren()) {
        if (auto* e = dynamic_cast<CharacterEnemy*>(c); e && e->alive) out.push_back(e);
        collect(*c, out);
    }
}

bool onField(const Character& c) {
    const int x = c.x >> 16, y = c.y >> 16;
    return x >= 0 && x < 480 && y >= 0 && y < 600;
}

// What the autopilot aims at: the part of a boss that takes the damage, else a boss, else the
// enemy on the field nearest to the ship's side.
const CharacterEnemy* target(PlayHarness& play) {
    std::vector<CharacterEnemy*> enemies;
    collect(play.game().enemyRoot(), enemies);
    for (CharacterEnemy* e : enemies)
        if (ClassNameOf(*e).find("Miso") != std::string::npos) return e;
    // Boss 2's hull takes no damage: only the core of the section on the field does.
    for (CharacterEnemy* e : enemies)
        if (auto* core = dynamic_cast<CharacterEnemyBoss2Core*>(e); core && core->offsetX == 0 && onField(*e)) return e;
    for (CharacterEnemy* e : enemies) {
        const std::string name = ClassNameOf(*e);
        if ((name.find("Boss") != std::string::npos || name.find("Master") != std::string::npos) &&
            name.find("Born") == std::string::npos && onField(*e))
            return e;
    }
    const CharacterEnemy* best = nullptr;
    for (CharacterEnemy* e : enemies) {
        if (!onField(*e) || ClassNameOf(*e) == "CharacterEnemyBorn") continue;
        const Fixed16 shipX = play.game().player().x;
        if (!best || std::abs(e->x - shipX) < std::abs(best->x - shipX)) best = e;
    }
    return best;
}

// Fire always and steer under the target, keeping to the lower field.
std::uint8_t autopilot(PlayHarness& play) {
    std::uint8_t buttons = PlayHarness::bit(Button1);
    const CharacterPlayer& ship = play.game().player();
    Fixed16 wantX = toFixed(240), wantY = toFixed(500);
    if (const CharacterEnemy* t = target(play)) {
        wantX = t->x;
        // A target low on the field is met at the bottom edge, where the shots start on it.
        wantY = std::clamp(t->y + toFixed(150), toFixed(300), toFixed(584));
    }
    const Fixed16 deadZone = toFixed(4);
    if (wantX > ship.x + deadZone) buttons |= PlayHarness::bit(Right);
    if (wantX < ship.x - deadZone) buttons |= PlayHarness::bit(Left);
    if (wantY > ship.y + deadZone) buttons |= PlayHarness::bit(Down);
    if (wantY < ship.y - deadZone) buttons |= PlayHarness::bit(Up);
    return buttons;
}

// The end-of-play display's closing line, once a scorer shows one ("" before).
std::string closingLine(PlayHarness& play) {
    for (Character* c : play.game().layer(7).GetChildren())
        if (auto* scorer = dynamic_cast<CharacterScorer*>(c)) return scorer->gameOverLine.text();
    return "";
}

struct Lap {
    std::int32_t mode;
    std::int32_t lastStage;
};

class Campaign : public ::testing::TestWithParam<Lap> {};
}  // namespace

TEST_P(Campaign, EveryStageIsClearedAndTheScorerClosesTheLapAndItsReplayAgrees) {
    const Lap lap = GetParam();
    TempWorkDir dir;
    PlayHarness play(lap.mode, false);
    play.step();  // the loading frame
    play.game().player().invulnerable = 1 << 30;
    std::int32_t stageAtScorer = 0;
    std::vector<int> clearedAt;
    std::string closing;
    for (int f = 0; f < kMaxFrames && !play.ended(); ++f) {
        const std::int32_t stage = play.stage();
        play.step(autopilot(play));
        if (play.stage() != stage) clearedAt.push_back(play.framesRun());
        if (!stageAtScorer && play.info().GetFlag(FlagScorerCreated)) stageAtScorer = play.stage();
        if (const std::string line = closingLine(play); !line.empty()) closing = line;
    }
    ASSERT_TRUE(play.ended()) << "stage " << play.stage() << " after " << play.framesRun() << " frames";
    ASSERT_EQ(clearedAt.size(), static_cast<std::size_t>(lap.lastStage)) << "every stage of the lap is cleared";
    EXPECT_EQ(stageAtScorer, lap.lastStage + 1) << "the scorer comes right after the lap's last stage";
    EXPECT_EQ(ScorersIn(play.game().layer(7)), 1u);
    EXPECT_EQ(closing, "-ALL CLEAR-") << "a cleared lap ends in congratulation";
    EXPECT_GT(play.items(), 0);
    RecordProperty("stage_clears", ::testing::PrintToString(clearedAt));
    RecordProperty("frames", play.framesRun());
    RecordProperty("items", play.items());

    Log log("");
    Score record(&log);
    ASSERT_TRUE(record.load(lastPlayFileOf(lap.mode)));
    const ScoreHeader h = record.getHeader();
    EXPECT_EQ(h.version, replayVersionOf(lap.mode));
    EXPECT_EQ(h.stages, lap.lastStage + 1);
    EXPECT_EQ(h.score, play.items());

    // The file re-simulated, with the same ship that cannot be hit.
    PlayHarness replay(lap.mode, false);
    replay.game().PlayReplay(record);
    replay.step();
    replay.game().player().invulnerable = 1 << 30;
    std::string replayClosing;
    for (int f = 0; f < kMaxFrames && !replay.ended(); ++f) {
        replay.step();
        if (const std::string line = closingLine(replay); !line.empty()) replayClosing = line;
    }
    ASSERT_TRUE(replay.ended());
    EXPECT_EQ(replayClosing, "-ALL CLEAR-") << "and so does its replay";
    EXPECT_EQ(replay.items(), h.score);
    EXPECT_EQ(replay.stage(), h.stages);
    EXPECT_EQ(replay.lives(), h.lives);
    EXPECT_EQ(replay.game().playFrames(), h.frames);
    EXPECT_EQ(replay.spawns(), play.spawns());
}

INSTANTIATE_TEST_SUITE_P(Laps, Campaign, ::testing::Values(Lap{2, 4}, Lap{4, 4}, Lap{3, 5}, Lap{5, 5}),
                         [](const ::testing::TestParamInfo<Lap>& info) { return "mode" + std::to_string(info.param.mode); });
