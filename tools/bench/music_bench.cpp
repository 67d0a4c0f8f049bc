// Costs of the music: prints figures, asserts nothing.
//   music_bench [--full-soundfont] [song.mid]   (default: data/title.mid, with the game's cut-down soundfont)
// 1. how long the main thread is held by building the music service and starting the title song
//    (the first frame waits for this), and how long the soundfont takes to load behind it;
// 2. how late the playback thread sends events against their due time, with the synthesizer and
//    an audio thread running as in the game;
// 3. resident memory while the six songs play;
// 4. the playback thread's CPU while nothing is due.
#include "app/ToolHelp.h"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>
#include "app/Clock.h"
#include "music/BGM.h"
#include "music/GameSoundFont.h"
#include "sound/Mixer.h"

using Steady = std::chrono::steady_clock;
using namespace midiplayer;

namespace {

// The soundfont the game plays with: the build's cut-down one (the full one with --full-soundfont).
std::string gSoundFont = Output::kDefaultSoundFont;

const std::string kSource = NIMBULON_SOURCE_DIR;

double msSince(Steady::time_point t) { return std::chrono::duration<double, std::milli>(Steady::now() - t).count(); }

// Pulls the mix in 1024-frame blocks at the real rate, as the SDL audio device does.
class AudioThread {
public:
    explicit AudioThread(Mixer& mixer) : mixer_(mixer), thread_([this] { run(); }) {}
    ~AudioThread() {
        stop_ = true;
        thread_.join();
    }
    double worstBlockMs() const { return worst_.load(); }

private:
    void run() {
        std::vector<std::int16_t> block(1024 * 2);
        auto next = Steady::now();
        while (!stop_) {
            const auto t = Steady::now();
            mixer_.render(block.data(), 1024);
            const double took = msSince(t);
            if (took > worst_) worst_ = took;
            next += std::chrono::microseconds(1024 * 1000000LL / Mixer::kRate);
            std::this_thread::sleep_until(next);
        }
    }
    Mixer& mixer_;
    std::atomic<bool> stop_{false};
    std::atomic<double> worst_{0};
    std::thread thread_;
};

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Records when each event leaves the playback thread (events sent from the main thread are left out).
class SendTimes : public OutputObserver {
public:
    explicit SendTimes(std::thread::id main) : main_(main) { times.reserve(100000); }
    void onEvent(const Event& e) override {
        if (std::this_thread::get_id() == main_) return;
        if (times.size() < times.capacity()) times.push_back({Steady::now(), e.time});
    }
    struct Sent { Steady::time_point at; std::int32_t tick; };
    std::vector<Sent> times;

private:
    std::thread::id main_;
};

// The system clock, remembering its first reading (the playback thread's start).
class FirstReading : public MsClock {
public:
    std::uint32_t now() override {
        const std::uint32_t t = clockMs();
        std::uint32_t expected = 0;
        if (!seen_.exchange(true)) first = t;
        (void)expected;
        return t;
    }
    void sleep(std::uint32_t ms) override { SystemClock().sleep(ms); }
    std::uint32_t first = 0;

private:
    std::atomic<bool> seen_{false};
};

void firstFrame(const std::string& song) {
    std::printf("== start-up (what the title scene's first frame waits for)\n");
    Mixer mixer;
    AudioThread audio(mixer);
    const auto t0 = Steady::now();
    BGM bgm(nullptr, &mixer, gSoundFont);
    const double built = msSince(t0);
    bgm.load(song, 0);
    bgm.play(0);
    const double started = msSince(t0);
    bgm.output().waitReady(60000);
    const double ready = msSince(t0);
    std::printf("main thread held: service built %.2f ms, song loaded and started %.2f ms\n", built, started);
    std::printf("soundfont ready in the background after %.1f ms (the synthesizer is silent until then)\n", ready);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::printf("worst audio block render so far: %.2f ms (budget 23.2 ms)\n", audio.worstBlockMs());
}

void lateness(const std::string& song, int seconds) {
    std::printf("== event lateness, %s, %d s, synthesizer and audio thread running\n", song.c_str(), seconds);
    Mixer mixer;
    AudioThread audio(mixer);
    FirstReading clock;
    BGM bgm(nullptr, &mixer, gSoundFont, &clock);
    bgm.output().waitReady(60000);
    SendTimes sent(std::this_thread::get_id());
    bgm.player().addObserver(&sent);
    bgm.load(song, 0);
    bgm.play(0);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    bgm.stop();
    bgm.player().join();
    bgm.player().removeObserver(&sent);

    // Due time of each tick from the song's tempo map, from the start reading of the thread.
    const Score& score = bgm.score(0);
    std::vector<std::pair<std::int32_t, double>> tickMs;  // (tick, ms) at each tempo change
    double ms = 0, tempo = score.tempoAt(score.first());
    std::int32_t lastTick = 0;
    for (const auto& e : score.list()) {
        if (const auto* t = dynamic_cast<const EventTempo*>(e.get())) {
            ms += (e->time - lastTick) * tempo / 1000.0 / score.division;
            lastTick = e->time;
            tempo = t->tempo;
            tickMs.push_back({lastTick, ms});
        }
    }
    auto dueMs = [&](std::int32_t tick) {
        double base = 0, tp = score.tempoAt(score.first());
        std::int32_t from = 0;
        for (std::size_t i = 0; i < tickMs.size() && tickMs[i].first <= tick; ++i) {
            base = tickMs[i].second;
            from = tickMs[i].first;
            const auto it = std::find_if(score.list().begin(), score.list().end(), [&](const auto& e) {
                return e->time == from && dynamic_cast<const EventTempo*>(e.get());
            });
            tp = static_cast<const EventTempo*>(it->get())->tempo;
        }
        return base + (tick - from) * tp / 1000.0 / score.division;
    };
    const Steady::time_point start{std::chrono::milliseconds(clock.first)};
    std::vector<double> late;
    std::int32_t previousTick = -1;
    for (const auto& s : sent.times) {
        if (s.tick < previousTick) break;  // the song looped: only its first pass is compared
        previousTick = s.tick;
        const double due = dueMs(s.tick);
        late.push_back(std::chrono::duration<double, std::milli>(s.at - start).count() - due);
    }
    std::vector<std::pair<double, double>> worst;  // (lateness, due ms)
    std::vector<double> later;                     // events due after the song's first tick
    for (std::size_t i = 0; i < late.size(); ++i) {
        worst.push_back({late[i], dueMs(sent.times[i].tick)});
        if (sent.times[i].tick > 0) later.push_back(late[i]);
    }
    std::sort(worst.rbegin(), worst.rend());
    std::printf("latest events (lateness ms @ due ms):");
    for (std::size_t i = 0; i < std::min<std::size_t>(6, worst.size()); ++i) std::printf(" %.1f@%.0f", worst[i].first, worst[i].second);
    std::printf("\n");
    auto report = [](const char* what, std::vector<double> v) {
        if (v.empty()) return;
        std::sort(v.begin(), v.end());
        auto pct = [&](double p) { return v[std::min(v.size() - 1, static_cast<std::size_t>(p * v.size()))]; };
        const auto within2 = std::count_if(v.begin(), v.end(), [](double x) { return x <= 2.0; });
        std::printf("%s: %zu events, lateness min %.3f p50 %.3f p90 %.3f p99 %.3f max %.3f ms; within 2 ms %.1f %%\n", what,
                    v.size(), v.front(), pct(0.5), pct(0.9), pct(0.99), v.back(), 100.0 * within2 / v.size());
    };
    report("all events", late);
    report("after tick 0", later);
    std::printf("worst audio block render: %.2f ms (budget 23.2 ms)\n", audio.worstBlockMs());
}

void memory(int secondsEach) {
    std::printf("== resident memory while the six songs play (%d s each)\n", secondsEach);
    std::printf("before the service: VmRSS %ld kB\n", statusKb("VmRSS:"));
    Mixer mixer;
    AudioThread audio(mixer);
    BGM bgm(nullptr, &mixer, gSoundFont);
    bgm.output().waitReady(60000);
    std::printf("soundfont loaded: VmRSS %ld kB\n", statusKb("VmRSS:"));
    const char* names[] = {"title", "stage1", "stage2", "stage3", "stage4", "stage5"};
    for (int i = 0; i < 6; ++i) bgm.load(kSource + "/data/" + names[i] + ".mid", i);
    for (int i = 0; i < 6; ++i) {
        bgm.play(i);
        const double cpu0 = cpuSeconds();
        const auto t0 = Steady::now();
        std::this_thread::sleep_for(std::chrono::seconds(secondsEach));
        const double cpu = (cpuSeconds() - cpu0) / (msSince(t0) / 1000.0) * 100.0;
        std::printf("%-7s VmRSS %ld kB, process CPU while playing (synthesis included) %.1f %% of a core\n", names[i],
                    statusKb("VmRSS:"), cpu);
    }
    bgm.stop();
    std::printf("peak VmHWM %ld kB\n", statusKb("VmHWM:"));
}

void idleCpu(int seconds) {
    std::printf("== playback thread CPU with nothing due (%d s, no audio device)\n", seconds);
    // A song whose only note is ten minutes away.
    Score score;
    EventNoteOn far(0x90, 60, 100);
    far.time = 480 * 600;
    score.addEvent(far);
    Player player;
    player.setScore(&score);
    player.start();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const double cpu0 = cpuSeconds();
    const auto t0 = Steady::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double used = cpuSeconds() - cpu0;
    const double wall = msSince(t0) / 1000.0;
    player.stop();
    player.join();
    std::printf("CPU %.3f s in %.2f s: %.2f %% of one core\n", used, wall, 100.0 * used / wall);
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: music_bench [--full-soundfont] [song.mid]\nPrints the costs of the music: start, event lateness, memory.\n")) return 0;
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto full = std::find(args.begin(), args.end(), "--full-soundfont");
    const std::string cut = std::string(NIMBULON_BINARY_DIR) + "/" + midiplayer::kGameSoundFontName;
    if (full != args.end()) args.erase(full);
    else if (std::ifstream(cut)) gSoundFont = cut;
    const std::string song = !args.empty() ? args[0] : kSource + "/data/title.mid";
    if (!std::ifstream(gSoundFont)) {
        std::printf("no soundfont at %s\n", gSoundFont.c_str());
        return 1;
    }
    std::printf("soundfont: %s\n", gSoundFont.c_str());
    // Each part in a fresh process, so that one part's memory does not show in the next.
    auto part = [](auto&& body) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child == 0) {
            body();
            std::fflush(stdout);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
    };
    part([&] { firstFrame(song); });
    part([&] { lateness(song, 15); });
    part([&] { memory(3); });
    part([&] { idleCpu(5); });
    return 0;
}
