// The game's songs as the player hears them: rendered through the music service, the playback
// thread, FluidSynth and the mixer (in lockstep with a stepped clock, so faster than real time and
// the same on every run). Each is written to music_<song>.wav in the working folder for listening.
#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include "MidiFiles.h"
#include "music/GameSoundFont.h"
#include "music/OfflineRender.h"
#include "music/Output.h"
#include "support/Prerequisite.h"

namespace {

const std::string kSource = NIMBULON_SOURCE_DIR;

struct Levels {
    double rms = 0;         // whole render, full scale 1.0
    int peak = 0;           // largest sample magnitude
    double windowSpread = 0;  // standard deviation / mean of the 250 ms window levels
    double silentShare = 0;   // share of windows below -60 dB
};

Levels measure(const std::vector<std::int16_t>& pcm) {
    Levels l;
    const std::size_t window = 44100 / 4 * 2;
    std::vector<double> levels;
    double total = 0;
    for (std::size_t start = 0; start + window <= pcm.size(); start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) {
            sum += double(pcm[i]) * pcm[i];
            l.peak = std::max(l.peak, std::abs(int(pcm[i])));
        }
        total += sum;
        levels.push_back(std::sqrt(sum / window) / 32768.0);
    }
    l.rms = std::sqrt(total / (levels.size() * window)) / 32768.0;
    double mean = 0, var = 0;
    for (double v : levels) mean += v / levels.size();
    for (double v : levels) var += (v - mean) * (v - mean) / levels.size();
    l.windowSpread = std::sqrt(var) / mean;
    l.silentShare = std::count_if(levels.begin(), levels.end(), [](double v) { return v < 0.001; }) / double(levels.size());
    return l;
}

}  // namespace

TEST(SongRender, EverySongSoundsVariesAndDoesNotClip) {
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    int rendered = 0;
    for (const char* name : {"title", "stage1", "stage2", "stage3", "stage4", "stage5"}) {
        const std::string path = kSource + "/data/" + name + ".mid";
        if (!std::filesystem::exists(path)) continue;
        SCOPED_TRACE(name);
        const auto pcm = midiplayer::renderSong(path, 12.0);
        ASSERT_EQ(pcm.size(), 12u * 44100 * 2);
        midiplayer::writeWav(std::string("music_") + name + ".wav", pcm);
        const Levels l = measure(pcm);
        EXPECT_GT(l.rms, 0.02) << "too quiet";
        EXPECT_LT(l.peak, 32767) << "clipped";
        EXPECT_GT(l.windowSpread, 0.08) << "the level does not follow the music";
        EXPECT_LT(l.silentShare, 0.2) << "long silences";
        ++rendered;
    }
    EXPECT_GT(rendered, 0) << "no song in data/";
}

// The same song twice gives the same samples: the lockstep clock makes the render exact, so the
// level checks above test the player, not the machine's load.
TEST(SongRender, RenderIsRepeatable) {
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    const std::string path = kSource + "/data/title.mid";
    ASSERT_TRUE(std::filesystem::exists(path)) << path;
    EXPECT_EQ(midiplayer::renderSong(path, 3.0), midiplayer::renderSong(path, 3.0));
}

// The build cuts the soundfont down to the zones the songs play. Each whole song, with its last
// notes' release, must come out sample for sample as with the full soundfont: a zone cut that a
// note needed would silence or change it.
TEST(GameSoundFont, EverySongRendersExactlyAsWithTheFullSoundFont) {
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    const std::string cut = std::string(NIMBULON_BINARY_DIR) + "/" + midiplayer::kGameSoundFontName;
    ASSERT_TRUE(std::filesystem::exists(cut)) << cut;
    EXPECT_LT(std::filesystem::file_size(cut), std::filesystem::file_size(midiplayer::Output::kDefaultSoundFont) / 4);
    for (const char* name : {"title", "stage1", "stage2", "stage3", "stage4", "stage5"}) {
        SCOPED_TRACE(name);
        const std::string path = kSource + "/data/" + name + ".mid";
        const double seconds = 92.0;  // the longest song (the title) lasts 87 s
        const auto full = midiplayer::renderSong(path, seconds);
        const auto small = midiplayer::renderSong(path, seconds, cut);
        ASSERT_EQ(full.size(), small.size());
        std::size_t differing = 0, first = full.size();
        for (std::size_t i = 0; i < full.size(); ++i)
            if (full[i] != small[i]) {
                ++differing;
                first = std::min(first, i);
            }
        EXPECT_EQ(differing, 0u) << "first at " << first / 2 / 44100.0 << " s";
        EXPECT_GT(measure(full).rms, 0.02);
    }
}

TEST(SongRender, ASongThePlayerCannotPlayRendersSilenceAndEnds) {
    // No tempo anywhere: the playback thread ends at once. The render must not wait for it to
    // sleep again at every 10 ms step (two minutes of song would take more than three hours).
    NIMBULON_REQUIRE("fluid-soundfont-gm", std::filesystem::exists(midiplayer::Output::kDefaultSoundFont),
                     midiplayer::Output::kDefaultSoundFont);
    const std::string path = (std::filesystem::temp_directory_path() / "nimbulon_no_tempo.mid").string();
    {
        const unsigned char song[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0,
                                      'M', 'T', 'r', 'k', 0, 0, 0, 12, 0x00, 0x90, 0x3C, 0x64,
                                      0x60, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00};
        std::FILE* f = std::fopen(path.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(song, 1, sizeof song, f);
        std::fclose(f);
    }
    const auto pcm = midiplayer::renderSong(path, 120.0);
    std::filesystem::remove(path);
    ASSERT_EQ(pcm.size(), 120u * 44100 * 2);
    EXPECT_EQ(measure(pcm).peak, 0) << "no note was played";
}

TEST(SongRender, ALengthOutsideTheRangeRendersNothing) {
    // A negative or enormous length must not reach the allocation of the samples.
    const std::string path = kSource + "/data/title.mid";
    for (double seconds : {-5.0, 0.0, std::nan(""), midiplayer::kMaxRenderSeconds + 1, 1e30}) {
        SCOPED_TRACE(seconds);
        EXPECT_TRUE(midiplayer::renderSong(path, seconds).empty());
    }
}

// Where a rendered song loops (the browser's songs): one pass lasts to the last event at the
// tempi in force along the way, which a tempo change halfway must not be read as the whole way.
TEST(SongLength, OnePassLastsToTheLastEventAtEachTempo) {
    using namespace miditest;
    // 480 ticks a quarter: 960 ticks at 120 beats a minute (1000 ms), then 960 at 240 (500 ms).
    const Bytes song = cat({header(0, 1, 480),
                            track({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,   // tempo 500000
                                   0x00, 0x90, 60, 100,                         // note on
                                   0x87, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  // +960: tempo 250000
                                   0x87, 0x40, 0x80, 60, 0})});                   // +960: note off
    TempFile file(song);
    EXPECT_NEAR(midiplayer::songLengthMs(file.path()), 1500.0, 1e-6);
    EXPECT_LT(midiplayer::songLengthMs("/nonexistent/song.mid"), 0.0);
    TempFile garbage(Bytes{'n', 'o', 't', ' ', 'a', ' ', 's', 'o', 'n', 'g'});
    EXPECT_LT(midiplayer::songLengthMs(garbage.path()), 0.0);
}
