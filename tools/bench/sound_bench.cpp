// When sound is heard, not when it is asked for: prints figures, asserts nothing.
//
//   sound_bench [--frames N] [--at-block-start] [--busy]
//
// An audio thread stands in for the device (an offline driver): every N frames' time (default
// the game's 512) it renders one block from the game's mixer through the same path as the SDL
// callback and keeps it, noting the moment the block was asked for. A sample's sound time is that
// moment plus its place in the block, as with SDL's disk driver, which writes each block out as
// soon as it is rendered (a real device adds its own fixed output delay).
//
// 1. effects: Sound::play of a click effect at random moments; the onset of each click in the
//    output against the moment of the call;
// 2. notes: a song of single piano notes at irregular moments played by the game's player and
//    synthesizer; the onset of each note against the moment it was due (the sound's own attack,
//    measured once on a note placed exactly, is taken off);
// 3. underruns: the busiest stretch of the Boss 1 fight with drawing, paced at 60 frames a
//    second, with its stage music and its effects in the mix: blocks that were not ready when a
//    device holding two blocks would have needed them.
//
// --at-block-start renders as the game did before (every queued message applied at the block's
// start), for comparison; --busy runs parts 1 and 2 while the boss fight runs beside them.
#include "app/ToolHelp.h"
#include <sys/resource.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include "app/Clock.h"
#include "app/Log.h"
#include "combat/CharacterPlayer.h"
#include "input/InputButton.h"
#include "music/BGM.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "sound/Mixer.h"
#include "sound/Sound.h"

using namespace midiplayer;

namespace {

const std::string kSource = NIMBULON_SOURCE_DIR;
int gFrames = Mixer::kDeviceFrames;
bool gAtBlockStart = false;

// The stand-in device: one block every block's time, rendered as the SDL callback does.
class Device {
public:
    explicit Device(Mixer& mixer) : mixer_(mixer), thread_([this] { run(); }) {}
    ~Device() { stop(); }
    void stop() {
        if (!thread_.joinable()) return;
        stop_ = true;
        thread_.join();
    }
    struct Block {
        double askedMs;     // when the block was asked for
        double readyMs;     // when it was rendered
    };
    // Sound time of frame f of the output.
    double soundMs(std::size_t f) const {
        const Block& b = blocks_[f / gFrames];
        return b.askedMs + (f % gFrames) * 1000.0 / Mixer::kRate;
    }
    const std::vector<std::int16_t>& pcm() const { return pcm_; }
    const std::vector<Block>& blocks() const { return blocks_; }
    // Blocks a card holding two of them would have run dry for, counted as the game's audio device
    // counts them: a render longer than a block, or more than two blocks between two requests.
    int underruns() const { return underruns_; }
    double worstRenderMs() const { return worstRender_; }
    bool raised() const { return raised_; }

private:
    void run() {
        // SDL runs its audio thread at raised priority; so does this one when it may.
        raised_ = setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -10) == 0;
        std::vector<std::int16_t> block(static_cast<std::size_t>(gFrames) * 2);
        const auto period = std::chrono::nanoseconds(static_cast<std::int64_t>(gFrames * 1e9 / Mixer::kRate));
        auto next = std::chrono::steady_clock::now();
        double previousAsk = -1;
        while (!stop_) {
            const double asked = clockMsPrecise();
            if (gAtBlockStart) mixer_.render(block.data(), gFrames);
            else mixer_.renderLive(block.data(), gFrames, asked);
            const double ready = clockMsPrecise();
            const double blockMs = gFrames * 1000.0 / Mixer::kRate;
            // The thread asks on a steady grid, so a request comes a whole block before the one
            // still queued has played out: only a render longer than a block, or a request more than
            // two blocks after the last (the thread kept waiting), lets the card run dry.
            if (ready - asked > blockMs || (previousAsk >= 0 && asked - previousAsk > 2 * blockMs)) ++underruns_;
            previousAsk = asked;
            worstRender_ = std::max(worstRender_, ready - asked);
            blocks_.push_back({asked, ready});
            pcm_.insert(pcm_.end(), block.begin(), block.end());
            next += period;
            std::this_thread::sleep_until(next);
        }
    }
    Mixer& mixer_;
    std::atomic<bool> stop_{false};
    std::vector<std::int16_t> pcm_;
    std::vector<Block> blocks_;
    int underruns_ = 0;
    double worstRender_ = 0;
    bool raised_ = false;
    std::thread thread_;
};

// Frames where the sound rises above `threshold` after at least `quietFrames` below it.
std::vector<std::size_t> onsets(const std::vector<std::int16_t>& pcm, int threshold, std::size_t quietFrames) {
    std::vector<std::size_t> found;
    std::size_t quiet = quietFrames;
    for (std::size_t f = 0; f < pcm.size() / 2; ++f) {
        const bool loud = std::abs(pcm[2 * f]) > threshold || std::abs(pcm[2 * f + 1]) > threshold;
        if (!loud) {
            ++quiet;
            continue;
        }
        if (quiet >= quietFrames) found.push_back(f);
        quiet = 0;
    }
    return found;
}

void report(const char* what, std::vector<double> v) {
    if (v.empty()) {
        std::printf("%s: nothing measured\n", what);
        return;
    }
    std::sort(v.begin(), v.end());
    auto pct = [&](double p) { return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))]; };
    std::printf("%s: %zu onsets, lateness min %.2f  p50 %.2f  p99 %.2f  max %.2f ms (spread max - min %.2f ms)\n", what,
                v.size(), v.front(), pct(0.5), pct(0.99), v.back(), v.back() - v.front());
}

// A WAV of a 15 ms click train, silence around it (22050 Hz 8-bit mono, as every effect).
std::string writeClick(const std::string& dir) {
    std::vector<std::uint8_t> samples(330);
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 4) % 2 ? 8 : 248;
    const std::string path = dir + "/click.wav";
    std::ofstream f(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    f.write("RIFF", 4);
    u32(36 + static_cast<std::uint32_t>(samples.size()));
    f.write("WAVEfmt ", 8);
    u32(16), u16(1), u16(1), u32(22050), u32(22050), u16(1), u16(8);
    f.write("data", 4);
    u32(static_cast<std::uint32_t>(samples.size()));
    f.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size()));
    return path;
}

// The busiest stretch of the first boss fight, with drawing, paced at 60 frames a second;
// the play's own effects and music go into `audio` when given.
class BossFight {
public:
    explicit BossFight(bool withAudio)
        : play_(5, true, withAudio ? MusicFactory([](Log* log, Mixer* mixer) { return std::make_unique<BGM>(log, mixer); })
                                   : MusicFactory()) {}
    Mixer& mixer() { return play_.env().mixer; }
    // Runs in a thread of its own until stopped, or for `frames` frames.
    void run(int frames, const std::atomic<bool>* stop) {
        int f = 0;
        auto step = [&] {
            play_.game().player().invulnerable = 1 << 20;
            std::uint8_t b = PlayHarness::bit(Button1);
            b |= ((f / 80) % 2) ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
            if ((f / 40) % 4 == 1) b |= PlayHarness::bit(Up);
            if ((f / 40) % 4 == 3) b |= PlayHarness::bit(Down);
            play_.step(b);
            ++f;
        };
        // Up to the boss's arrival untimed, then paced.
        while (f < kBossFrom) step();
        auto next = std::chrono::steady_clock::now();
        for (int i = 0; i < frames && !(stop && *stop); ++i) {
            step();
            next += std::chrono::microseconds(16667);
            std::this_thread::sleep_until(next);
        }
    }
    static constexpr int kBossFrom = 1300;

private:
    PlayHarness play_;
};

// The busiest boss frames on a thread of their own beside a measurement, when asked for.
class BusyFight {
public:
    explicit BusyFight(bool busy) {
        if (!busy) return;
        fight_ = std::make_unique<BossFight>(false);
        thread_ = std::thread([this] { fight_->run(1 << 30, &stop_); });
    }
    ~BusyFight() { stop(); }
    void stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::unique_ptr<BossFight> fight_;
    std::thread thread_;
};

void effects(const std::string& dir, bool busy) {
    std::printf("== effects: Sound::play to the click's onset\n");
    Mixer mixer;
    Log log("");
    Sound sound(&mixer, &log);
    sound.load(writeClick(dir), 0);
    BusyFight fight(busy);
    std::vector<double> calls;
    {
        Device device(mixer);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        std::mt19937 rng(14);
        std::uniform_int_distribution<int> gap(45000, 90000);  // microseconds between plays
        for (int i = 0; i < 200; ++i) {
            calls.push_back(clockMsPrecise());
            sound.play(0, false);
            std::this_thread::sleep_for(std::chrono::microseconds(gap(rng)));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        device.stop();
        fight.stop();
        const auto found = onsets(device.pcm(), 2000, 441);
        // Each call is matched with the first onset heard after it.
        std::vector<double> late;
        std::size_t next = 0;
        for (double call : calls) {
            while (next < found.size() && msBetween(device.soundMs(found[next]), call) < 0) ++next;
            if (next < found.size()) late.push_back(msBetween(device.soundMs(found[next++]), call));
        }
        if (late.size() != calls.size())
            std::printf("(%zu of %zu plays were heard)\n", late.size(), calls.size());
        report("effects", late);
        std::printf("blocks %zu, underruns %d, worst block render %.2f ms%s\n", device.blocks().size(), device.underruns(),
                    device.worstRenderMs(), device.raised() ? "" : " (audio thread at normal priority)");
    }
}

// Records the moment each note-on was due, as the player says.
class DueTimes : public OutputObserver {
public:
    void onEvent(const Event&) override {}
    void onEventDue(const Event& e, double dueMs) override {
        const auto* s = dynamic_cast<const EventShort*>(&e);
        if (s && (s->status & 0xF0) == 0x90 && s->dataByte2 > 0) due.push_back(dueMs);
    }
    std::vector<double> due;  // only the playback thread writes, and it has ended when read
};

// Frames from a note's start to its onset as found by `onsets` (the piano's attack).
long pianoAttack() {
    Mixer mixer;
    Output out(&mixer);
    out.open();
    if (!out.waitReady(60000)) return -1;
    for (auto [s, a, b] : {std::tuple{0xC0, 0, 0}, {0xB0, 91, 0}, {0xB0, 93, 0}, {0x90, 72, 110}})
        out.onEvent(EventShort(static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b)));
    std::vector<std::int16_t> pcm(2 * 4410);
    mixer.render(pcm.data(), 4410);  // applied at frame 0
    const auto found = onsets(pcm, 600, 0);
    return found.empty() ? -1 : static_cast<long>(found.front());
}

void notes(bool busy) {
    std::printf("== notes: due moment to the note's onset\n");
    const long attack = pianoAttack();
    if (attack < 0) {
        std::printf("no soundfont\n");
        return;
    }
    Mixer mixer;
    BGM bgm(nullptr, &mixer);
    bgm.output().waitReady(60000);
    // One tick a millisecond; a dry piano note of 40 ms every 160 to 260 ms.
    midiplayer::Score score;
    score.addEvent(EventTempo(480000));
    for (auto [s, a, b] : {std::tuple{0xC0, 0, 0}, {0xB0, 91, 0}, {0xB0, 93, 0}}) {
        EventShort e(static_cast<std::uint8_t>(s), static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b));
        score.addEvent(e);
    }
    std::mt19937 rng(41);
    std::uniform_int_distribution<int> gap(160, 260);
    int tick = 300;
    constexpr int kNotes = 150;
    for (int i = 0; i < kNotes; ++i) {
        EventNoteOn on(0x90, 72, 110);
        on.time = tick;
        score.addEvent(on);
        EventNoteOff off(0x90, 72, 0);
        off.time = tick + 40;
        score.addEvent(off);
        EventShort cut(0xB0, 120, 0);  // all sound off: no tail runs into the next onset
        cut.time = tick + 60;
        score.addEvent(cut);
        tick += gap(rng);
    }
    DueTimes due;
    bgm.player().addObserver(&due);
    bgm.player().setLoop(false);
    BusyFight fight(busy);
    Device device(mixer);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    bgm.player().setScore(&score);
    bgm.player().start();
    std::this_thread::sleep_for(std::chrono::milliseconds(tick + 500));
    bgm.player().stop();
    bgm.player().join();
    device.stop();
    fight.stop();
    bgm.player().removeObserver(&due);

    const auto found = onsets(device.pcm(), 600, 1764);
    std::vector<double> late;
    for (std::size_t i = 0; i < std::min(found.size(), due.due.size()); ++i)
        late.push_back(msBetween(device.soundMs(found[i] - attack), due.due[i]));
    if (found.size() != due.due.size())
        std::printf("(found %zu onsets for %zu notes: the figures below are not to be trusted)\n", found.size(),
                    due.due.size());
    report("notes", late);
    const double fixed = gFrames * 1000.0 / Mixer::kRate + (gAtBlockStart ? 0.0 : Mixer::kLiveMarginMs);
    if (!gAtBlockStart) {
        for (double& l : late) l -= fixed;
        report("notes beyond the fixed delay", late);
        std::printf("(the fixed delay: one block of %d frames and the %.1f ms margin, %.2f ms; the piano's attack of %ld "
                    "frames is taken off)\n",
                    gFrames, Mixer::kLiveMarginMs, fixed, attack);
    }
    std::printf("blocks %zu, underruns %d, worst block render %.2f ms\n", device.blocks().size(), device.underruns(),
                device.worstRenderMs());
}

void underruns(int seconds) {
    std::printf("== underruns: %d s of the busiest Boss 1 frames with drawing at 60 fps, stage music and effects\n",
                seconds);
    BossFight fight(true);
    Mixer& mixer = fight.mixer();
    Device device(mixer);
    fight.run(seconds * 60, nullptr);
    device.stop();
    double worstGap = 0;
    for (std::size_t i = 1; i < device.blocks().size(); ++i)
        worstGap = std::max(worstGap, device.blocks()[i].askedMs - device.blocks()[i - 1].askedMs);
    long loud = 0;
    for (std::int16_t s : device.pcm()) loud += std::abs(s) > 1000;
    std::printf("blocks %zu of %d frames, underruns %d, worst block render %.2f ms (a block lasts %.2f ms), "
                "longest gap between requests %.2f ms, %.0f %% of samples audible\n",
                device.blocks().size(), gFrames, device.underruns(), device.worstRenderMs(),
                gFrames * 1000.0 / Mixer::kRate, worstGap, 100.0 * loud / std::max<std::size_t>(1, device.pcm().size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: sound_bench [--frames N] [--at-block-start] [--busy]\nPrints when sound is heard against when it is asked for.\n")) return 0;
    bool busy = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) gFrames = std::max(64, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--at-block-start") == 0) gAtBlockStart = true;
        else if (std::strcmp(argv[i], "--busy") == 0) busy = true;
        else {
            std::fprintf(stderr, "usage: sound_bench [--frames N] [--at-block-start] [--busy]\n");
            return 2;
        }
    }
    std::printf("sound_bench: blocks of %d frames (%.2f ms), messages %s%s\n", gFrames, gFrames * 1000.0 / Mixer::kRate,
                gAtBlockStart ? "applied at the block's start" : "applied at their moment", busy ? ", boss fight running" : "");
    // The play reads its effects and music from ./data; whatever it writes goes to a scratch copy.
    char tmpl[] = "/tmp/sound-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    const std::filesystem::path dir(tmpl);
    std::filesystem::create_directories(dir / "data");
    for (const auto& e : std::filesystem::directory_iterator(kSource + "/data")) {
        const std::string ext = e.path().extension().string();
        if (ext == ".wav" || ext == ".mid") std::filesystem::copy_file(e.path(), dir / "data" / e.path().filename());
    }
    std::filesystem::current_path(dir);
    effects(dir.string(), busy);
    notes(busy);
    underruns(20);
    std::filesystem::current_path("/");
    std::filesystem::remove_all(dir);
    return 0;
}
