#include <gtest/gtest.h>
#include <algorithm>
#include <tuple>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include "RecordsFixture.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {

constexpr std::uint8_t B(int button) { return PlayHarness::bit(button); }
constexpr std::uint8_t kFire = B(Button1);

// Scripted plays: each gives the buttons held at every frame of the play.
struct Script {
    const char* name;
    std::int32_t mode;
    std::function<std::uint8_t(int frame)> buttons;
};

// Weaving left and right while firing, now and then holding Button2 long enough for large
// bullets and a stock, then tapping it to spend the stock on small ones.
std::uint8_t weaveAndSize(int f) {
    std::uint8_t b = kFire;
    b |= (f / 40) % 2 ? B(Left) : B(Right);
    if ((f / 25) % 3 == 0) b |= B(Up);
    const int cycle = f % 400;
    if (cycle >= 100 && cycle < 175) b |= B(Button2);  // held 75 frames: large, and a stock
    if (cycle == 250 || cycle == 251) b |= B(Button2);  // a tap: spend it
    return b;
}

// Pauses twice (opening and closing the menu), and at frame 600 pauses and returns to the title.
std::uint8_t pauseAndQuit(int f) {
    if (f == 200 || f == 215) return B(Button3);
    if (f == 216) return B(Button1);  // "return to playing"
    if (f == 600) return B(Button3);
    if (f == 610) return B(Down);
    if (f == 620) return B(Button1);  // "return to title"
    // Nothing else is held while the menu is open, or the cursor would wander.
    if ((f > 200 && f < 216) || (f > 600 && f < 620)) return 0;
    return weaveAndSize(f);
}

const Script kScripts[] = {
    {"idle until the ship is lost", ModeFirstLap, [](int) { return std::uint8_t{0}; }},
    {"firing straight up", ModeFirstLap, [](int f) { return static_cast<std::uint8_t>(f % 90 < 80 ? kFire : 0); }},
    {"weaving and bullet size", ModeFirstLap, weaveAndSize},
    {"old version, weaving", ModeFirstLapOld, weaveAndSize},
    {"second lap, pausing and quitting", ModeSecondLap, pauseAndQuit},
};

// The plays run through the headless harness exactly as in the game; each ends by itself.
class ReplayDeterminismTest : public RecordsFixture {
protected:
    static constexpr int kMaxFrames = 60 * 60 * 15;

    // Plays the script to its end; the record is the one the play scene hands to the title.
    Score record(const Script& s) {
        PlayHarness play(s.mode, /*drawing*/ false);
        for (int f = 0; f < kMaxFrames && !play.ended(); ++f) play.step(s.buttons(f));
        EXPECT_TRUE(play.ended()) << s.name;
        // Through the file format, into a record that logs to this test rather than to the
        // harness's log, which goes with the harness.
        const std::vector<unsigned char> bytes = play.game().record().toBytes();
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        Score out(log.get());
        EXPECT_TRUE(out.read(in));
        const ScoreHeader h = out.getHeader();
        std::printf("  %-34s score %3d  stages %d  lives %d  frames %5d\n", s.name, h.score, h.stages, h.lives, h.frames);
        return out;
    }
};

TEST_F(ReplayDeterminismTest, EveryScriptedPlayReplaysToItsRecordedResult) {
    // Set by the cross-build check, which verifies these files with another build of the tool.
    const char* outDir = std::getenv("NIMBULON_REPLAY_OUT");
    for (const Script& s : kScripts) {
        SCOPED_TRACE(s.name);
        Score played = record(s);
        const ScoreHeader h = played.getHeader();
        EXPECT_EQ(h.version, replayVersionOf(s.mode));
        EXPECT_EQ(h.gameMode, s.mode);
        EXPECT_EQ(h.valid, 1);
        EXPECT_GT(h.frames, 0);

        ASSERT_TRUE(played.save("./data/play.rep"));
        Score loaded(log.get());
        ASSERT_TRUE(loaded.load("./data/play.rep"));
        ReplayRunner runner(loaded);
        ASSERT_TRUE(runner.versionMatches());
        const ReplayRunner::Result r = runner.run(h.frames + 600);
        EXPECT_TRUE(ReplayRunner::matches(h, r))
            << "recorded score " << h.score << " stages " << h.stages << " lives " << h.lives << " frames " << h.frames
            << "; replayed " << r.score << " " << r.stages << " " << r.lives << " " << r.frames;
        if (outDir) {
            std::string name = s.name;
            for (char& c : name)
                if (c == ' ' || c == ',') c = '_';
            std::filesystem::copy_file("./data/play.rep", std::filesystem::path(outDir) / (name + ".rep"),
                                       std::filesystem::copy_options::overwrite_existing);
        }
    }
}

TEST_F(ReplayDeterminismTest, ScriptsCoverDeathsItemsAndTheBulletSize) {
    // The scripts are only worth something if the plays they record differ and do things.
    Score idle = record(kScripts[0]);
    Score weave = record(kScripts[2]);
    EXPECT_EQ(idle.getHeader().lives, 0);
    EXPECT_GT(record(kScripts[4]).getHeader().lives, 0);  // left through the pause menu
    EXPECT_GT(weave.getHeader().score, 0);
    EXPECT_NE(idle.getHeader().frames, weave.getHeader().frames);

    std::vector<std::string> events;
    ReplayRunner(weave).run(weave.getHeader().frames + 600, [&](const std::string& line) { events.push_back(line); });
    auto count = [&](const char* what) {
        int n = 0;
        for (const auto& e : events) n += e.find(std::string("\"event\":\"") + what + "\"") != std::string::npos;
        return n;
    };
    EXPECT_GT(count("enemy_spawned"), 0);
    EXPECT_GT(count("enemy_destroyed"), 0);
    EXPECT_GT(count("item_dropped"), 0);
    EXPECT_GT(count("item_collected"), 0);
    EXPECT_GT(count("bullet_size_mode"), 0);
    EXPECT_GT(count("stock_gained"), 0);
    EXPECT_EQ(count("play_ended"), 1);
    EXPECT_EQ(events.back().rfind("{\"frame\":" + std::to_string(weave.getHeader().frames), 0), 0u) << events.back();
}

TEST_F(ReplayDeterminismTest, AReplayOfAnotherRecordDoesNotMatch) {
    // Stage 1's trace of one play under another play's header: the verifier must notice.
    Score weave = record(kScripts[2]);
    Score idle = record(kScripts[0]);
    Score forged = weave;
    forged.setHeader(idle.getHeader());
    ReplayRunner runner(forged);
    EXPECT_FALSE(ReplayRunner::matches(forged.getHeader(), runner.run(idle.getHeader().frames + 600)));
}

TEST_F(ReplayDeterminismTest, AReplayGivesTheSameEventsWhetherItsFramesAreDrawnOrNot) {
    // A replay checked without a window draws nothing at all: no pictures, sprites, flash copies,
    // texts or status line. That must not change a single event of the play: a Stage 1 play, and
    // plays that jump to each later stage of both versions (their pictures and bosses) and fight.
    std::vector<std::pair<std::string, Score>> plays;
    plays.emplace_back("stage 1, weaving", record(kScripts[2]));
    for (std::int32_t mode : {ModeSecondLapOld, ModeSecondLap}) {
        for (int stage = 2; stage <= 5; ++stage) {
            PlayHarness play(mode, /*drawing*/ false);
            play.run(30);
            ASSERT_TRUE(play.selectStage(stage)) << "mode " << mode << " stage " << stage;
            for (int f = 0; f < 2400 && !play.ended(); ++f) play.step(weaveAndSize(f));
            plays.emplace_back("mode " + std::to_string(mode) + " stage " + std::to_string(stage), play.inputRecord());
        }
    }
    for (auto& [name, play] : plays) {
        SCOPED_TRACE(name);
        const std::int64_t bound = 60 * 60 * 15;
        std::vector<std::string> drawn, bare;
        const ReplayRunner::Result a =
            ReplayRunner(play, /*drawing*/ true).run(bound, [&](const std::string& e) { drawn.push_back(e); });
        const ReplayRunner::Result b =
            ReplayRunner(play, /*drawing*/ false).run(bound, [&](const std::string& e) { bare.push_back(e); });
        EXPECT_TRUE(a.ended);
        EXPECT_EQ(std::tie(a.ended, a.score, a.stages, a.lives, a.frames),
                  std::tie(b.ended, b.score, b.stages, b.lives, b.frames));
        ASSERT_EQ(drawn.size(), bare.size());
        for (std::size_t i = 0; i < drawn.size(); ++i) ASSERT_EQ(drawn[i], bare[i]) << "event " << i;
        // The play did reach what it was meant to: the stage's own enemies came.
        const std::string stage = name.substr(name.size() - 1);
        const bool reached = std::any_of(drawn.begin(), drawn.end(), [&](const std::string& e) {
            return e.find("\"stage\":" + stage + ",\"event\":\"enemy_spawned\"") != std::string::npos;
        });
        EXPECT_TRUE(name[0] == 's' || reached);
    }
}

TEST_F(ReplayDeterminismTest, AReplayStepsFrameByFrameToTheSamePlayAsARunWhole) {
    // The browser's player paces a replay itself, one step at a time with every frame drawn and
    // the effects mixed; it must give the very play the replay tool checks, sound its effects,
    // and stand still once the play has ended.
    for (const auto& effect : std::filesystem::directory_iterator(NIMBULON_SOURCE_DIR "/data"))
        if (effect.path().extension() == ".wav") std::filesystem::copy_file(effect.path(), "./data" / effect.path().filename());
    for (const Script* s : {&kScripts[2], &kScripts[3]}) {
        SCOPED_TRACE(s->name);
        const Score play = record(*s);
        std::vector<std::string> whole, stepped;
        const ReplayRunner::Result a =
            ReplayRunner(play).run(kMaxFrames, [&](const std::string& e) { whole.push_back(e); });
        ReplayRunner runner(play, /*drawing*/ true, /*sound*/ true);
        const auto sink = [&](const std::string& e) { stepped.push_back(e); };
        std::vector<std::int16_t> sound(735 * 2);
        int steps = 0, peak = 0;
        for (bool ended = false; !ended && steps < kMaxFrames; ++steps) {
            ended = runner.step(sink);
            runner.renderSound(sound.data(), 735);
            for (std::int16_t v : sound) peak = std::max(peak, std::abs(static_cast<int>(v)));
        }
        EXPECT_GT(peak, 1000) << "the shots and bursts were not heard";
        const ReplayRunner::Result b = runner.result();
        EXPECT_TRUE(b.ended);
        EXPECT_EQ(std::tie(a.ended, a.score, a.stages, a.lives, a.frames),
                  std::tie(b.ended, b.score, b.stages, b.lives, b.frames));
        EXPECT_EQ(stepped, whole);
        EXPECT_TRUE(runner.step(sink));
        EXPECT_EQ(runner.result().frames, b.frames);
        EXPECT_EQ(stepped.size(), whole.size());
    }
}

}  // namespace
