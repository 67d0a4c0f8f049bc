#include <gtest/gtest.h>
#include "support/RecordingLog.h"
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#include "app/Log.h"
#include "sound/Mixer.h"
#include "sound/Sound.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// --- building WAV files byte by byte -------------------------------------------------------

void put32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(Bytes& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

Bytes chunk(const char* id, const Bytes& body, std::uint32_t declared) {
    Bytes b;
    putId(b, id);
    put32(b, declared);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1u) b.push_back(0);
    return b;
}
Bytes chunk(const char* id, const Bytes& body) { return chunk(id, body, static_cast<std::uint32_t>(body.size())); }

// A format block; `bytes` 16 or 18 (18 adds the extra-size word).
Bytes format(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits, int bytes = 18) {
    Bytes f;
    put16(f, tag);
    put16(f, channels);
    put32(f, rate);
    put32(f, rate * channels * bits / 8);
    put16(f, static_cast<std::uint16_t>(channels * bits / 8));
    put16(f, bits);
    if (bytes >= 18) put16(f, 0);
    f.resize(static_cast<std::size_t>(bytes));
    return f;
}

Bytes riff(const std::vector<Bytes>& subchunks, const char* form = "WAVE") {
    Bytes body;
    putId(body, form);
    for (const Bytes& c : subchunks) body.insert(body.end(), c.begin(), c.end());
    return chunk("RIFF", body);
}

Bytes pcm8(const Bytes& samples) { return riff({chunk("fmt ", format(1, 1, 22050, 8)), chunk("data", samples)}); }

// Sample levels: 192 is +0.5, 64 is -0.5, 128 silence, 160 +0.25.
const Bytes kFour = {192, 64, 128, 160};

struct SoundFixture : ::testing::Test {
    fs::path dir;
    RecordingLog log;
    Mixer mixer;

    void SetUp() override {
        dir = fs::path(::testing::TempDir()) /
              ("nimbulon_sound_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
        return p.string();
    }

    // `frames` stereo frames from the mixer, checked to be equal on both channels; returns the left.
    std::vector<int> render(int frames) {
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames) * 2);
        mixer.render(out.data(), frames);
        std::vector<int> left;
        for (int f = 0; f < frames; ++f) {
            EXPECT_EQ(out[2 * f], out[2 * f + 1]) << "frame " << f;
            left.push_back(out[2 * f]);
        }
        return left;
    }
};

// The four samples at 44100 Hz: each sample, then half-way to the next; a one-shot holds its last
// sample for the last half step and then falls silent.
const std::vector<int> kFourRendered = {16384, 0, -16384, -8192, 0, 4096, 8192, 8192};

TEST_F(SoundFixture, StartUpWithADeviceAddsTheVoicesToTheMix) {
    Sound sound(&mixer, &log);
    const std::vector<std::string> expected = {"Sound: 効果音環境の初期化", "Sound: 効果音環境の初期化に成功"};
    EXPECT_EQ(log.lines, expected);
}

TEST_F(SoundFixture, EveryFileIsPlayedAs22050HzEightBitMonoWhateverItsHeaderSays) {
    const Bytes stereo16 = riff({chunk("fmt ", format(1, 2, 44100, 16)), chunk("data", kFour)});
    const Bytes short16 = riff({chunk("fmt ", format(1, 1, 8000, 16, 16)), chunk("data", kFour)});
    for (const Bytes& bytes : {pcm8(kFour), stereo16, short16}) {
        Sound sound(&mixer, &log);
        sound.load(file("a.wav", bytes), Click);
        ASSERT_TRUE(sound.isLoaded(Click));
        sound.play(Click, false);
        std::vector<int> expected = kFourRendered;
        expected.insert(expected.end(), {0, 0});
        EXPECT_EQ(render(10), expected);
    }
}

TEST_F(SoundFixture, PlayingASoundingEffectRestartsItWithOneVoice) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8(kFour)), Hit);
    sound.play(Hit, false);
    render(3);
    sound.play(Hit, false);
    EXPECT_EQ(render(8), kFourRendered);  // from the start, not two copies added
}

TEST_F(SoundFixture, ALoopingEffectGoesOnFromItsFirstSample) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8(kFour)), Charge);
    sound.play(Charge, true);
    std::vector<int> expected = kFourRendered;
    expected[7] = 12288;  // half-way from the last sample back to the first: +0.375
    expected.insert(expected.end(), kFourRendered.begin(), kFourRendered.begin() + 3);
    EXPECT_EQ(render(11), expected);
}

TEST_F(SoundFixture, StopSilencesAndTheNextPlayStartsOver) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8(kFour)), Charge);
    sound.stop(Charge);  // not sounding: nothing happens
    EXPECT_EQ(render(2), std::vector<int>(2, 0));
    sound.play(Charge, true);
    render(3);
    sound.stop(Charge);
    EXPECT_EQ(render(4), std::vector<int>(4, 0));
    sound.play(Charge, false);
    EXPECT_EQ(render(8), kFourRendered);
}

TEST_F(SoundFixture, SlotsSoundTogetherAndEachKeepsItsOwnEffect) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8({192, 192})), Burst1);
    sound.load(file("b.wav", pcm8({64, 64})), Burst2);
    sound.play(Burst1, false);
    EXPECT_EQ(render(1), std::vector<int>{16384});
    sound.play(Burst2, false);
    EXPECT_EQ(render(1), std::vector<int>{0});  // +0.5 and -0.5
}

TEST_F(SoundFixture, LoadingIntoAFullSlotReplacesItsEffect) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8({192})), Shot);
    sound.load(file("b.wav", pcm8({64})), Shot);
    sound.play(Shot, false);
    EXPECT_EQ(render(2), (std::vector<int>{-16384, -16384}));
}

TEST_F(SoundFixture, AnIdOutOfRangeIsLoggedAndChangesNothing) {
    Sound sound(&mixer, &log);
    const std::string path = file("a.wav", pcm8(kFour));
    sound.load(path, Click);
    for (int id : {8, -1}) {
        log.lines.clear();
        sound.load(path, id);
        char value[16];
        std::snprintf(value, sizeof value, "%x", static_cast<unsigned>(id));
        const std::vector<std::string> expected = {"Sound: サウンドロード:" + path + " = " + value,
                                                   "Sound: サウンドロードエラー:IDが大きすぎる"};
        EXPECT_EQ(log.lines, expected);
        for (int slot = 0; slot < kSoundSlots; ++slot) EXPECT_EQ(sound.isLoaded(slot), slot == Click);
    }
}

TEST_F(SoundFixture, AMissingFileEmptiesTheSlotAndPlayingItDoesNothing) {
    Sound sound(&mixer, &log);
    sound.load(file("a.wav", pcm8(kFour)), Rupee);
    log.lines.clear();
    const std::string missing = (dir / "none.wav").string();
    sound.load(missing, Rupee);
    const std::vector<std::string> expected = {"Sound: サウンドロード:" + missing + " = 5",
                                               "Sound: サウンドロードエラー:ファイルが見つからない"};
    EXPECT_EQ(log.lines, expected);
    EXPECT_FALSE(sound.isLoaded(Rupee));
    sound.play(Rupee, false);
    sound.stop(Rupee);
    EXPECT_EQ(render(4), std::vector<int>(4, 0));
}

TEST_F(SoundFixture, MalformedFilesAreLoggedAndLeaveTheSlotEmpty) {
    const Bytes fmt = chunk("fmt ", format(1, 1, 22050, 8));
    const Bytes riffOnly = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    Bytes fmtCut = riffOnly;  // the format header promises 18 bytes, the file ends after 10
    putId(fmtCut, "fmt ");
    put32(fmtCut, 18);
    fmtCut.insert(fmtCut.end(), 10, 0);
    // "data" claims 2 GiB, then 4 GiB, and the file holds four bytes.
    const auto claiming = [&](std::uint32_t size) {
        Bytes b = pcm8(kFour);
        const std::size_t at = b.size() - kFour.size() - 4;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
        return b;
    };
    const Bytes huge = claiming(0x7fffffffu);
    const Bytes hugest = claiming(0xffffffffu);
    Bytes cut = pcm8(kFour);
    cut.resize(cut.size() - 2);
    const std::string bad = "Sound: サウンドロードエラー:WAVEファイルが不正";

    struct Case { const char* name; Bytes bytes; std::string message; };
    const Case cases[] = {
        {"empty file", {}, bad + "(RIFF/WAVEではない)"},
        {"RIFX", [] { Bytes b = pcm8({1}); b[3] = 'X'; return b; }(), bad + "(RIFF/WAVEではない)"},
        {"RIFF of another form", riff({fmt, chunk("data", kFour)}, "AVI "), bad + "(RIFF/WAVEではない)"},
        {"nothing after WAVE", riffOnly, bad + "(フォーマットが読めない)"},
        {"format cut short", fmtCut, bad + "(フォーマットが読めない)"},
        {"format block of 14 bytes", riff({chunk("fmt ", format(1, 1, 22050, 8, 14)), chunk("data", kFour)}),
         bad + "(フォーマットが読めない)"},
        {"float samples", riff({chunk("fmt ", format(3, 1, 22050, 32)), chunk("data", kFour)}), bad + "(PCMではない)"},
        // The first subchunk is the format block whatever its name: a leading LIST is read as one.
        {"LIST first", riff({chunk("LIST", Bytes(18, 'x')), fmt, chunk("data", kFour)}), bad + "(PCMではない)"},
        {"no data chunk", riff({fmt, chunk("fact", {1, 2, 3, 4})}), bad + "(dataチャンクがない)"},
        {"empty data chunk", riff({fmt, chunk("data", {})}), bad + "(dataチャンクがない)"},
        {"data past the end", cut, bad + "(dataチャンクが短い)"},
        {"data of 2 GiB", huge, bad + "(dataチャンクが短い)"},
        {"data of 4 GiB", hugest, bad + "(dataチャンクが短い)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sound sound(&mixer, &log);
        const std::string path = file("bad.wav", pcm8(kFour));
        sound.load(path, Extend);
        ASSERT_TRUE(sound.isLoaded(Extend));
        file("bad.wav", c.bytes);
        log.lines.clear();
        sound.load(path, Extend);
        ASSERT_EQ(log.lines.size(), 2u);
        EXPECT_EQ(log.lines[1], c.message);
        EXPECT_FALSE(sound.isLoaded(Extend));
        sound.play(Extend, false);
        EXPECT_EQ(render(2), std::vector<int>(2, 0));
    }
}

TEST_F(SoundFixture, ReadableOddFilesLoad) {
    const Bytes fmt = chunk("fmt ", format(1, 1, 22050, 8));
    Bytes bigRiff = pcm8(kFour);  // a RIFF size past the end of the file is taken as far as it goes
    bigRiff[4] = bigRiff[5] = bigRiff[6] = bigRiff[7] = 0xff;
    struct Case { const char* name; Bytes bytes; };
    const Case cases[] = {
        {"chunks between format and data, one of odd size", riff({fmt, chunk("junk", {1, 2, 3}), chunk("data", kFour)})},
        {"RIFF size past the end", bigRiff},
        {"trailing bytes after RIFF", [&] { Bytes b = pcm8(kFour); b.insert(b.end(), 7, 0xee); return b; }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sound sound(&mixer, &log);
        log.lines.clear();
        sound.load(file("odd.wav", c.bytes), Click);
        EXPECT_EQ(log.lines.size(), 1u);
        ASSERT_TRUE(sound.isLoaded(Click));
        sound.play(Click, false);
        EXPECT_EQ(render(8), kFourRendered);
    }
}

TEST_F(SoundFixture, WithoutAnAudioDeviceTheServiceLogsItAndStillLoadsAndChecks) {
    Sound sound(nullptr, &log);
    ASSERT_EQ(log.lines.size(), 2u);
    EXPECT_EQ(log.lines[0], "Sound: 効果音環境の初期化");
    EXPECT_NE(log.lines[1].find("効果音環境の初期化に失敗"), std::string::npos);
    sound.load(file("a.wav", pcm8(kFour)), Click);
    EXPECT_TRUE(sound.isLoaded(Click));
    sound.play(Click, false);
    sound.stop(Click);
    sound.load(file("b.wav", {'R', 'I', 'F', 'F'}), Hit);
    EXPECT_FALSE(sound.isLoaded(Hit));
    EXPECT_EQ(render(2), std::vector<int>(2, 0));  // not in the mix
}

// The audio thread mixes while the main thread loads, plays and empties slots: no torn voice, no
// freed samples read (run under a sanitizer to be sure).
TEST_F(SoundFixture, LoadingAndPlayingWhileTheAudioThreadMixes) {
    Sound sound(&mixer, &log);
    const std::string a = file("a.wav", pcm8(Bytes(4000, 200)));
    const std::string b = file("b.wav", pcm8(Bytes(3, 50)));
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<std::int16_t> out(512 * 2);
        while (!done) mixer.render(out.data(), 512);
    });
    for (int i = 0; i < 300; ++i) {
        const int id = i % kSoundSlots;
        sound.load(i % 3 ? a : b, id);
        sound.play(id, i % 2 == 0);
        if (i % 5 == 0) sound.unload((id + 3) % kSoundSlots);
    }
    done = true;
    audio.join();
    for (int id = 0; id < kSoundSlots; ++id) sound.unload(id);
    EXPECT_EQ(render(4), std::vector<int>(4, 0));
}

}  // namespace

namespace {

// The effect files the game ships must all pass the reader.
TEST(ShippedEffects, EveryEffectFileLoads) {
    const char* files[kSoundSlots] = {"se_click", "se_burst1", "se_burst2", "se_hit",
                                      "se_charge", "se_rupee", "se_extend", "se_shot"};
    RecordingLog log;
    Sound sound(nullptr, &log);
    for (int id = 0; id < kSoundSlots; ++id) {
        sound.load(std::string(NIMBULON_SOURCE_DIR) + "/data/" + files[id] + ".wav", id);
        EXPECT_TRUE(sound.isLoaded(id)) << files[id] << ": " << log.lines.back();
    }
}

}  // namespace

TEST_F(SoundFixture, TheEffectVolumeScalesWhatTheMixerHears) {
    // 100 is the level the effect is made at; 50 half of it; 0 silence, with the voice still
    // running in time (it is over after the same frames).
    struct Case { int percent; std::vector<int> expected; };
    const Case cases[] = {
        {100, kFourRendered},
        {50, {8192, 0, -8192, -4096, 0, 2048, 4096, 4096}},
        {0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {250, kFourRendered},  // out of range: clamped to 100
    };
    for (const Case& c : cases) {
        Sound sound(&mixer, &log);
        sound.load(file("a.wav", pcm8(kFour)), Click);
        sound.setVolume(c.percent);
        sound.play(Click, false);
        EXPECT_EQ(render(8), c.expected) << c.percent;
        sound.setVolume(100);
        EXPECT_EQ(render(2), (std::vector<int>{0, 0})) << c.percent << ": the effect ran on while turned down";
    }
}

namespace {
// A source of a steady square wave: +level, -level/2, alternating frame by frame on both channels.
struct SquareSource : MixerSource {
    float level;
    explicit SquareSource(float l) : level(l) {}
    void mixInto(float* out, int frames) override {
        for (int f = 0; f < frames; ++f) {
            const float v = f % 2 ? -level / 2 : level;
            out[2 * f] += v;
            out[2 * f + 1] += v;
        }
    }
};
}  // namespace

// Sources that add up past full scale are brought under the ceiling as a whole (scaled, not cut
// flat: the wave keeps its shape); once the loud one stops, the quiet one comes back to its own
// level within a second, and a mix that never got loud is untouched.
TEST_F(SoundFixture, TheLimiterKeepsALoudMixUnderFullScaleWithoutFlatteningIt) {
    SquareSource quiet(0.5f), loud(0.9f);
    mixer.addSource(&quiet);
    EXPECT_EQ(render(4), (std::vector<int>{16384, -8192, 16384, -8192})) << "under the ceiling: untouched";
    mixer.addSource(&loud);
    int clipped = 0, highest = 0;
    for (int block = 0; block < 40; ++block) {
        const std::vector<int> out = render(512);
        for (std::size_t i = 0; i + 1 < out.size(); i += 2) {
            clipped += std::abs(out[i]) >= 32767 || std::abs(out[i + 1]) >= 32767;
            highest = std::max(highest, out[i]);
            // Scaled, not clipped: the negative half stays half of the positive one.
            EXPECT_NEAR(out[i + 1], -out[i] / 2, 1) << "block " << block << " frame " << i;
        }
    }
    EXPECT_EQ(clipped, 0);
    EXPECT_LE(highest, static_cast<int>(Mixer::kCeiling * 32767) + 1);
    EXPECT_GT(highest, static_cast<int>(Mixer::kCeiling * 32767) - 2) << "no more turned down than needed";
    mixer.removeSource(&loud);
    const std::vector<int> recovering = render(512);
    EXPECT_LT(recovering[0], 16384) << "the gain comes back gradually";
    render(Mixer::kRate);
    EXPECT_EQ(render(4), (std::vector<int>{16384, -8192, 16384, -8192})) << "back to its own level";
    mixer.removeSource(&quiet);
}
