#include <gtest/gtest.h>
#include <fluidsynth.h>
#include <cmath>
#include <filesystem>
#include "MidiFiles.h"
#include "music/Output.h"
#include "sound/Mixer.h"
#include "support/Prerequisite.h"

using namespace midiplayer;

namespace {

bool haveSoundFont() { return std::filesystem::exists(Output::kDefaultSoundFont); }

// Root mean square of `ms` milliseconds of the mix, full scale 1.0.
double renderRms(Mixer& mixer, int ms) {
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(Mixer::kRate) * ms / 1000 * 2);
    mixer.render(pcm.data(), static_cast<int>(pcm.size() / 2));
    double sum = 0;
    for (std::int16_t s : pcm) sum += double(s) * s;
    return std::sqrt(sum / pcm.size()) / 32768.0;
}

void send(Output& out, std::uint8_t status, std::uint8_t d1, std::uint8_t d2) {
    out.onEvent(EventShort(status, d1, d2));
}

}  // namespace

TEST(OutputOpen, FailsWithoutAnAudioDeviceOrASoundFont) {
    miditest::TempFile notASoundFont({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
    Mixer mixer;
    struct Case { const char* name; Mixer* mixer; std::string soundFont; } cases[] = {
        {"no audio device", nullptr, Output::kDefaultSoundFont},
        {"no soundfont file", &mixer, "/nonexistent/gm.sf2"},
        {"not a soundfont", &mixer, notASoundFont.path()},
    };
    for (const Case& c : cases) {
        Output out(c.mixer, c.soundFont);
        try {
            out.open();
            ADD_FAILURE() << c.name << ": opened";
        } catch (const Output::OutputException& e) {
            EXPECT_EQ(e.message(), "midiOutOpen failed. deviceID=-1") << c.name;
            EXPECT_EQ(e.label(), "OutputException");
        }
        EXPECT_FALSE(out.isOpen()) << c.name;
        send(out, 0x90, 60, 100);  // a closed port drops everything
        EXPECT_FALSE(out.isReady());
    }
    EXPECT_EQ(renderRms(mixer, 50), 0.0);
}

TEST(OutputOpen, ABrokenSoundFontIsReportedAndStaysSilent) {
    miditest::Bytes body = {'R', 'I', 'F', 'F', 0x20, 0, 0, 0, 's', 'f', 'b', 'k'};
    body.resize(44, 0x5A);
    miditest::TempFile broken(body, "broken.sf2");
    Mixer mixer;
    Output out(&mixer, broken.path());
    out.open();
    EXPECT_FALSE(out.waitReady(10000));
    EXPECT_NE(out.takeFailure().find("soundfont load failed"), std::string::npos);
    send(out, 0x90, 60, 100);
    EXPECT_EQ(renderRms(mixer, 50), 0.0);
}

class OutputSynth : public ::testing::Test {
protected:
    void SetUp() override {
        NIMBULON_REQUIRE("fluid-soundfont-gm", haveSoundFont(), Output::kDefaultSoundFont);
        out.open();
    }
    Mixer mixer;
    Output out{&mixer};
};

// Messages sent while the soundfont still loads set up the channels once it is ready; notes are
// not kept.
TEST_F(OutputSynth, ChannelSetupSentWhileLoadingIsApplied) {
    send(out, 0xC3, 40, 0);    // violin on channel 3
    send(out, 0xB3, 7, 77);    // volume
    send(out, 0x93, 60, 100);  // dropped while loading, played if already ready
    ASSERT_TRUE(out.waitReady(20000)) << out.takeFailure();
    out.flush();
    int program = -1, sfont = -1, bank = -1, volume = -1;
    fluid_synth_get_program(out.synth(), 3, &sfont, &bank, &program);
    fluid_synth_get_cc(out.synth(), 3, 7, &volume);
    EXPECT_EQ(program, 40);
    EXPECT_EQ(volume, 77);
}

TEST_F(OutputSynth, ShortAndSystemExclusiveMessagesReachTheSynthesizer) {
    ASSERT_TRUE(out.waitReady(20000));
    fluid_synth_t* synth = out.synth();
    EXPECT_LT(renderRms(mixer, 100), 1e-4) << "silent before any note";

    send(out, 0xC0, 19, 0);  // church organ: sustains while held
    send(out, 0xE0, 0x00, 0x50);
    send(out, 0x90, 60, 110);
    send(out, 0x90, 64, 110);
    EXPECT_EQ(fluid_synth_get_active_voice_count(synth), 0) << "queued until the audio thread renders";
    out.flush();
    EXPECT_GT(fluid_synth_get_active_voice_count(synth), 0);
    EXPECT_GT(renderRms(mixer, 300), 0.01) << "a held chord sounds";
    int bend = -1;
    fluid_synth_get_pitch_bend(synth, 0, &bend);
    EXPECT_EQ(bend, 0x50 << 7);

    send(out, 0xB0, 123, 0);  // all notes off
    renderRms(mixer, 1500);   // the release fades
    EXPECT_LT(renderRms(mixer, 200), 1e-3) << "controller 123 ended the chord";

    // A note-on with velocity 0 releases like a note-off
    send(out, 0x90, 67, 100);
    EXPECT_GT(renderRms(mixer, 200), 0.005);
    send(out, 0x90, 67, 0);
    renderRms(mixer, 1500);
    EXPECT_LT(renderRms(mixer, 200), 1e-3);

    // GM System On (F0 7E 7F 09 01 F7) resets the channels: the program goes back to 0.
    const std::uint8_t gmOn[] = {0x7E, 0x7F, 0x09, 0x01, 0xF7};
    out.onEvent(EventLong(0xF0, gmOn, sizeof gmOn));
    out.flush();
    int program = -1, sfont = -1, bank = -1;
    fluid_synth_get_program(synth, 0, &sfont, &bank, &program);
    EXPECT_EQ(program, 0);
    fluid_synth_get_pitch_bend(synth, 0, &bend);
    EXPECT_EQ(bend, 8192);
}

// Loading the soundfont selects no instrument (their samples stay on disk until a song asks for
// them); a channel that gets a note before any program change plays the General MIDI default:
// the piano, and the standard kit on channel 10. One that is never played keeps nothing.
TEST_F(OutputSynth, AChannelPlayedWithoutAProgramChangeTakesTheGeneralMidiDefault) {
    ASSERT_TRUE(out.waitReady(20000));
    fluid_synth_t* synth = out.synth();
    for (int channel : {0, 5, 9}) EXPECT_EQ(fluid_synth_get_channel_preset(synth, channel), nullptr) << channel;
    send(out, 0x90, 60, 110);
    send(out, 0x99, 38, 110);  // snare
    EXPECT_GT(renderRms(mixer, 200), 0.005) << "both notes sound";
    int sfont = -1, bank = -1, program = -1;
    fluid_synth_get_program(synth, 0, &sfont, &bank, &program);
    EXPECT_EQ(bank * 1000 + program, 0);
    fluid_synth_get_program(synth, 9, &sfont, &bank, &program);
    EXPECT_EQ(bank * 1000 + program, 128000);
    EXPECT_EQ(fluid_synth_get_channel_preset(synth, 5), nullptr);
    // A program change still decides: the note after it plays the chosen instrument.
    send(out, 0xC1, 19, 0);
    send(out, 0x91, 64, 110);
    out.flush();
    fluid_synth_get_program(synth, 1, &sfont, &bank, &program);
    EXPECT_EQ(program, 19);
}

TEST_F(OutputSynth, MetaEventsAndEmptySysexAreNotSent) {
    ASSERT_TRUE(out.waitReady(20000));
    out.onEvent(EventTempo(500000));
    out.onEvent(EventMeta());
    out.onEvent(EventLong(0xF7, nullptr, 0));
    out.onEvent(EventShort(0xF8, 0, 0));
    out.flush();
    EXPECT_EQ(fluid_synth_get_active_voice_count(out.synth()), 0);
    EXPECT_LT(renderRms(mixer, 100), 1e-4);
}

TEST_F(OutputSynth, LongSysexAndAFullQueueStillArriveInOrder) {
    ASSERT_TRUE(out.waitReady(20000));
    send(out, 0xC1, 30, 0);
    // GM System On padded past the queue's inline size goes straight to the synthesizer, after
    // what was queued before it.
    std::vector<std::uint8_t> gmOn = {0x7E, 0x7F, 0x09, 0x01};
    gmOn.resize(200, 0x00);
    gmOn.push_back(0xF7);
    out.onEvent(EventLong(0xF0, gmOn.data(), static_cast<std::uint32_t>(gmOn.size())));
    int program = -1, sfont = -1, bank = -1;
    fluid_synth_get_program(out.synth(), 1, &sfont, &bank, &program);
    EXPECT_EQ(program, 0) << "the queued program change came first, then the reset";
    // With nobody rendering, a full queue is applied at once instead of losing messages.
    for (int i = 0; i < 3000; ++i) send(out, 0xB2, 7, i % 128);
    send(out, 0xC2, 50, 0);
    out.flush();
    int volume = -1;
    fluid_synth_get_cc(out.synth(), 2, 7, &volume);
    fluid_synth_get_program(out.synth(), 2, &sfont, &bank, &program);
    EXPECT_EQ(volume, 2999 % 128);
    EXPECT_EQ(program, 50);
}

TEST_F(OutputSynth, CloseStopsTheSoundAndDropsLaterMessages) {
    ASSERT_TRUE(out.waitReady(20000));
    send(out, 0x90, 60, 110);
    EXPECT_GT(renderRms(mixer, 100), 0.005);
    out.close();
    EXPECT_FALSE(out.isOpen());
    send(out, 0x90, 62, 110);
    EXPECT_EQ(renderRms(mixer, 100), 0.0);
}

// Messages stamped with their moment sound on their own frame, whatever size of block the audio
// device asks for: the block is rendered up to the message, the message applied, the rest
// rendered. (The synthesizer starts voices on its 64-frame grid, so "on their frame" means within
// half of that.)
TEST_F(OutputSynth, StampedNotesSoundOnTheirFrameWhateverTheBlockSize) {
    ASSERT_TRUE(out.waitReady(20000));
    // A dry piano: no reverb or chorus tail to hide the next onset.
    send(out, 0xC0, 0, 0);
    send(out, 0xB0, 91, 0);
    send(out, 0xB0, 93, 0);
    const double originMs = 1000.0;  // the stream's first frame stands for this moment
    std::vector<std::int16_t> pcm;
    auto msAt = [&](double frame) { return originMs + frame * 1000.0 / Mixer::kRate; };
    auto renderTo = [&](std::size_t frame, int block) {
        std::vector<std::int16_t> buf(static_cast<std::size_t>(block) * 2);
        while (pcm.size() / 2 < frame) {
            const int n = static_cast<int>(std::min<std::size_t>(block, frame - pcm.size() / 2));
            mixer.renderAt(buf.data(), n, msAt(static_cast<double>(pcm.size() / 2)));
            pcm.insert(pcm.end(), buf.begin(), buf.begin() + 2 * n);
        }
    };
    auto onsetAfter = [&](std::size_t from) {
        for (std::size_t i = from * 2; i < pcm.size(); ++i)
            if (std::abs(pcm[i]) > 300) return static_cast<long>(i / 2);
        return -1L;
    };
    // One note per case, a second after the last one ended; sent before any of its blocks is
    // rendered, so it waits in the queue for its moment.
    auto play = [&](double frame, int block) {
        const std::size_t from = pcm.size() / 2;
        out.onEventDue(EventShort(0x90, 72, 120), msAt(frame));
        renderTo(static_cast<std::size_t>(frame) + 8000, block);
        out.onEventDue(EventShort(0x80, 72, 0), msAt(pcm.size() / 2));
        renderTo(pcm.size() / 2 + 44100, block);
        return onsetAfter(from);
    };
    // On a frame of the grid the note starts exactly there: what is left is the attack of the
    // sound before it crosses the threshold.
    const long attack = play(64 * 300, 64) - 64 * 300;
    ASSERT_GE(attack, 0);
    ASSERT_LT(attack, 2000);
    for (int block : {441, 512, 1024, 100, 4096}) {
        const double due = static_cast<double>(pcm.size() / 2) + 5000.37 + block / 3;
        const long onset = play(due, block);
        EXPECT_NEAR(static_cast<double>(onset - attack), due, 33.0) << "block of " << block << " frames";
    }
}

// Without a moment for the block (a plain render), everything queued applies at its start.
TEST_F(OutputSynth, APlainRenderAppliesWhatWaitsAtTheBlockStart) {
    ASSERT_TRUE(out.waitReady(20000));
    out.onEventDue(EventShort(0xC0, 19, 0), 1e6);
    out.onEventDue(EventShort(0x90, 60, 110), 1e6);  // stamped far ahead
    EXPECT_GT(renderRms(mixer, 200), 0.005);
}
