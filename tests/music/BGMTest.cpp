#include <gtest/gtest.h>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include "MidiFiles.h"
#include "PlayerFixtures.h"
#include "app/Log.h"
#include "music/BGM.h"
#include "sound/Mixer.h"
#include "support/Prerequisite.h"

using namespace miditest;
using Lines = std::vector<std::string>;

namespace {

// A song: tempo 1000000, division 480; notes at ticks 48 and 96 (100 and 200 ms), then a controller
// at tick 4800 (10 s) so that it does not loop during a test.
Bytes song() {
    return cat({header(0, 1, 480), track({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x30, 0x90, 0x40, 0x40, 0x30,
                                          0x90, 0x41, 0x40, 0xA4, 0x60, 0xB0, 0x07, 0x64})});
}

Lines logLines(const std::string& path) {
    std::ifstream in(path);
    Lines lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

int countContaining(const Lines& lines, const std::string& text) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const auto& l) { return l.find(text) != std::string::npos; }));
}

Lines notesOnly(const Lines& lines) {
    Lines out;
    for (const auto& l : lines)
        if (l.find(" 7b 00") == std::string::npos) out.push_back(l);
    return out;
}

bool waitFor(Recorder& recorder, std::size_t notes) {
    for (int i = 0; i < 500; ++i) {
        if (notesOnly(recorder.lines()).size() >= notes) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

// A BGM without an audio device (the synthesizer stays closed) whose sends are recorded.
class BGMService : public ::testing::Test {
protected:
    void SetUp() override { bgm.player().addObserver(&recorder); }
    void TearDown() override { bgm.player().removeObserver(&recorder); }

    TempFile logFile{{}, "log.txt"};
    Log log{logFile.path()};
    TempFile songFile{song()};
    Recorder recorder;
    BGM bgm{&log, nullptr};
};

}  // namespace

TEST_F(BGMService, WithoutAnAudioDeviceTheOutputFailsAndIsLogged) {
    EXPECT_FALSE(bgm.output().isOpen());
    EXPECT_EQ(countContaining(logLines(logFile.path()), "BGM("), 1);
    EXPECT_EQ(countContaining(logLines(logFile.path()), "MIDI出力オープン失敗"), 1);
}

TEST_F(BGMService, LoadChecksTheSlotAndLogsUnreadableFiles) {
    const int before = static_cast<int>(logLines(logFile.path()).size());
    EXPECT_TRUE(bgm.load(songFile.path(), 9));
    EXPECT_EQ(bgm.score(9).list().size(), 4u);
    EXPECT_FALSE(bgm.load(songFile.path(), 10));
    EXPECT_FALSE(bgm.load(songFile.path(), -1));
    EXPECT_EQ(static_cast<int>(logLines(logFile.path()).size()), before) << "a bad slot is not logged";

    EXPECT_FALSE(bgm.load("/nonexistent/stage9.mid", 9));
    const Lines lines = logLines(logFile.path());
    ASSERT_EQ(static_cast<int>(lines.size()), before + 1);
    EXPECT_EQ(lines.back().rfind("BGM(", 0), 0u) << lines.back();
    EXPECT_NE(lines.back().find(" : MIDIロード失敗"), std::string::npos) << lines.back();
    EXPECT_TRUE(bgm.score(9).list().empty()) << "the slot's previous song is gone";
    EXPECT_TRUE(recorder.lines().empty()) << "loading a slot that is not playing sends nothing";
}

TEST_F(BGMService, StopWhenNothingPlaysSendsAllNotesOffOnly) {
    bgm.stop();
    EXPECT_EQ(recorder.lines(), allNotesOff());
}

TEST_F(BGMService, PlayingTheSameSlotAgainRestartsFromTheBeginning) {
    ASSERT_TRUE(bgm.load(songFile.path(), 3));
    bgm.play(3);
    EXPECT_EQ(bgm.currentId(), 3);
    ASSERT_TRUE(waitFor(recorder, 3));
    EXPECT_EQ(notesOnly(recorder.lines()), (Lines{"0 tempo 1000000", "48 on 90 40 40", "96 on 90 41 40"}));
    recorder.clear();
    bgm.play(3);
    ASSERT_TRUE(waitFor(recorder, 2));
    const Lines sent = recorder.lines();
    const Lines notes = notesOnly(sent);
    EXPECT_EQ(Lines(notes.begin(), notes.begin() + 2), (Lines{"0 tempo 1000000", "48 on 90 40 40"}));
    EXPECT_GE(sent.size() - notes.size(), 48u) << "stop, rewind and stop each silence the 16 channels";
    EXPECT_EQ(sent.front(), "0 short b0 7b 00");
    bgm.stop();
    bgm.player().join();
    EXPECT_FALSE(bgm.player().isPlaying());
    EXPECT_EQ(bgm.currentId(), 3) << "stop keeps the slot";
}

TEST_F(BGMService, LoadingThePlayingSlotStopsTheMusicFirst) {
    ASSERT_TRUE(bgm.load(songFile.path(), 2));
    bgm.play(2);
    ASSERT_TRUE(waitFor(recorder, 2));
    EXPECT_TRUE(bgm.load(songFile.path(), 2));
    EXPECT_FALSE(bgm.player().isPlaying());
    recorder.clear();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(notesOnly(recorder.lines()).empty()) << "nothing plays after the reload";
}

TEST_F(BGMService, PlayingASlotWhoseLoadFailedEndsQuietlyAndIsLogged) {
    EXPECT_FALSE(bgm.load("/nonexistent/title.mid", 0));
    bgm.play(0);
    bgm.player().join();
    EXPECT_FALSE(bgm.player().isPlaying());
    bgm.update();
    EXPECT_EQ(countContaining(logLines(logFile.path()), "MIDI再生停止 StanderdApplicationException:start tempo undefined"), 1);
    bgm.update();
    EXPECT_EQ(countContaining(logLines(logFile.path()), "MIDI再生停止"), 1) << "logged once";
    bgm.play(-1);
    bgm.play(10);
    EXPECT_EQ(bgm.currentId(), 0) << "bad ids do nothing";
}

TEST_F(BGMService, ANeverLoadedSlotPlaysSilence) {
    bgm.play(7);
    ASSERT_TRUE(waitFor(recorder, 2));
    const Lines sent = notesOnly(recorder.lines());
    EXPECT_TRUE(std::all_of(sent.begin(), sent.end(), [](const auto& l) { return l == "0 tempo 1000000"; }));
    EXPECT_TRUE(bgm.player().isPlaying());
}

TEST(BGMSound, DestroyedWhilePlayingWithTheSynthesizer) {
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    TempFile songFile(song());
    Mixer mixer;
    {
        BGM bgm(nullptr, &mixer);
        ASSERT_TRUE(bgm.output().isOpen());
        ASSERT_TRUE(bgm.load(songFile.path(), 1));
        bgm.play(1);
        ASSERT_TRUE(bgm.output().waitReady(20000));
        std::vector<std::int16_t> pcm(4410 * 2);
        for (int i = 0; i < 5; ++i) {
            mixer.render(pcm.data(), 4410);
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
        }
    }
    std::vector<std::int16_t> pcm(441 * 2, 1);
    mixer.render(pcm.data(), 441);
    EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](std::int16_t s) { return s == 0; })) << "the output left the mix";
}

// Playing a song loads the instruments its program changes select, in the background, so that
// the audio thread does not load them when the song gets there: program 40 on channel 0, program
// 33 after a bank select of 0 on channel 2, drum kit 16 on channel 9; a bank other than 0 or 128
// is left to the synthesizer. Channels 4 and 9 play before any program change: the piano and the
// standard kit (channel 1's velocity-0 note-on before its program change releases, it plays nothing).
// Playing another song lets them go.
TEST(BGMInstruments, PlayingASongWarmsTheInstrumentsItSelectsAndOnlyThose) {
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    TempFile file(cat({header(0, 1, 480), track({0x00, 0xC0, 40, 0x00, 0xB2, 0x00, 0x00, 0x00, 0xC2, 33, 0x00, 0xC9,
                                                 16, 0x00, 0xB3, 0x00, 0x08, 0x00, 0xC3, 50})}));
    TempFile defaults(cat({header(0, 1, 480), track({0x00, 0x94, 60, 100, 0x00, 0x99, 36, 100, 0x00, 0x91, 62, 0,
                                                     0x00, 0xC1, 50, 0x00, 0x91, 62, 100})}));
    Mixer mixer;
    BGM bgm(nullptr, &mixer);
    TempFile other(cat({header(0, 1, 480), track({0x00, 0xC0, 41})}));
    ASSERT_TRUE(bgm.load(file.path(), 2));
    ASSERT_TRUE(bgm.load(other.path(), 3));
    bgm.play(2);
    midiplayer::PresetWarmer& warmer = bgm.output().warmer();
    ASSERT_TRUE(warmer.waitIdle(20000));
    using midiplayer::PresetWarmer;
    for (int key : {PresetWarmer::key(0, 40), PresetWarmer::key(0, 33), PresetWarmer::key(128, 16)}) {
        EXPECT_TRUE(warmer.isRequested(key)) << key;
        EXPECT_TRUE(warmer.isWarm(key)) << key;
    }
    EXPECT_FALSE(warmer.isRequested(PresetWarmer::key(0, 50)));
    EXPECT_EQ(PresetWarmer::key(8, 50), -1);
    EXPECT_FALSE(warmer.isRequested(PresetWarmer::key(128, 40)));
    bgm.play(3);
    ASSERT_TRUE(warmer.waitIdle(20000));
    EXPECT_TRUE(warmer.isWarm(PresetWarmer::key(0, 41)));
    EXPECT_FALSE(warmer.isWarm(PresetWarmer::key(0, 40)));
    EXPECT_FALSE(warmer.isRequested(PresetWarmer::key(128, 16)));
    EXPECT_FALSE(warmer.isRequested(PresetWarmer::key(0, 0))) << "every channel chose its program";

    ASSERT_TRUE(bgm.load(defaults.path(), 4));
    bgm.play(4);
    ASSERT_TRUE(warmer.waitIdle(20000));
    for (int key : {PresetWarmer::key(0, 0), PresetWarmer::key(128, 0), PresetWarmer::key(0, 50)})
        EXPECT_TRUE(warmer.isWarm(key)) << key;
}
