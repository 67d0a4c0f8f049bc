// Replay verification speed on whole plays. The plays are real replay files: the autopilot
// (Autopilot.h) plays each one headless, through every stage of a lap or straight into the final
// boss by the pause menu's stage select, and the record it leaves is re-simulated exactly as
// `nimbulon-replay verify` does (a ReplayRunner per file, from the file's bytes). Prints, per
// play, its stages, frames and the multiple of real time per core (CPU time of this thread), and
// the total; then the same for short scripted Stage 1 plays, where the setup of each replay
// weighs most.
//
//   replay_bench [--rounds N] [--plays DIR] [--record]
//
// Recording the whole plays takes minutes, so they are kept in DIR (default: replay_bench_plays
// beside this program) and recorded again only when missing, when --record is given, or when a
// kept one no longer reproduces (the play logic changed).
#include "app/ToolHelp.h"
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "Autopilot.h"
#include "app/Log.h"
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace fs = std::filesystem;

namespace {
struct PlaySpec {
    const char* name;
    std::int32_t mode;
    int selectStage;  // 0: from the first stage
    const char* what;
};

constexpr PlaySpec kPlays[] = {
    {"lap1", ModeFirstLap, 0, "first lap"},
    {"lap2", ModeSecondLap, 0, "second lap"},
    {"lap1_old", ModeFirstLapOld, 0, "first lap, old version"},
    {"lap2_old", ModeSecondLapOld, 0, "second lap, old version"},
    {"final", ModeSecondLap, 5, "final boss by stage select"},
    {"final_old", ModeSecondLapOld, 5, "final boss by stage select, old"},
};

// Frames a recording may run: an hour of play.
constexpr int kRecordLimit = 60 * 60 * 60;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::vector<unsigned char> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Replayed {
    ReplayRunner::Result result;
    bool matches = false;
    double cpu = 0;
    double wall = 0;
};

// One file's bytes re-simulated as the replay tool does it: read, build the runner, run.
Replayed replay(const std::vector<unsigned char>& bytes) {
    Log log("");
    Replayed out;
    const auto wall0 = std::chrono::steady_clock::now();
    const double cpu0 = threadCpuSeconds();
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    Score record(&log);
    if (record.read(in)) {
        ReplayRunner runner(record);
        out.result = runner.run(record.getHeader().frames + 600);
        out.matches = ReplayRunner::matches(record.getHeader(), out.result);
    }
    out.cpu = threadCpuSeconds() - cpu0;
    out.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    return out;
}

// The bytes of a record with the result re-simulating it gives in its header.
std::vector<unsigned char> withItsResult(Score record) {
    ReplayRunner runner(record);
    const ReplayRunner::Result r = runner.run(kRecordLimit);
    ScoreHeader h = record.getHeader();
    h.score = r.score;
    h.stages = r.stages;
    h.lives = r.lives;
    h.frames = r.frames;
    record.setHeader(h);
    return record.toBytes();
}

// Plays one whole play with the autopilot and returns its replay file's bytes. Runs in a scratch
// folder: the play writes its records under ./data when it ends.
std::vector<unsigned char> record(const PlaySpec& spec) {
    PlayHarness play(spec.mode, false);
    play.run(30);
    if (spec.selectStage > 0 && !play.selectStage(spec.selectStage)) {
        std::fprintf(stderr, "%s: the stage select failed\n", spec.name);
        return {};
    }
    Autopilot pilot(play);
    while (play.framesRun() < kRecordLimit && pilot.step()) {
    }
    if (!play.ended()) return {};
    if (spec.selectStage == 0) return play.game().record().toBytes();
    // The game keeps no record of a play that jumped stages: its replay file is made from the
    // buttons of every frame, and must give the very play the pilot played.
    const std::vector<unsigned char> bytes = withItsResult(play.inputRecord());
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    Score read(nullptr);
    read.read(in);
    const ScoreHeader h = read.getHeader();
    if (h.score != play.items() || h.stages != play.stage() || h.lives != play.lives() ||
        h.frames != play.game().playFrames()) {
        std::fprintf(stderr, "%s: the file gives items %d, stage %d, lives %d, frames %d; the play %d, %d, %d, %d\n",
                     spec.name, h.score, h.stages, h.lives, h.frames, play.items(), play.stage(), play.lives(),
                     play.game().playFrames());
        return {};
    }
    return bytes;
}

std::string stagesOf(const PlaySpec& spec, const ReplayRunner::Result& r) {
    const int last = lastStageOf(spec.mode);
    const int reached = std::min(r.stages, last);
    const int first = spec.selectStage > 0 ? spec.selectStage : 1;
    char text[64];
    if (first == reached) std::snprintf(text, sizeof text, "%d", first);
    else std::snprintf(text, sizeof text, "%d-%d", first, reached);
    std::string s = text;
    if (r.stages > last) s += " (cleared)";
    else if (r.lives <= 0) s += " (lost)";
    return s;
}

// Short plays scripted as before: Stage 1 until the ship is lost (about half a minute each).
std::uint8_t weave(int f) {
    std::uint8_t b = PlayHarness::bit(Button1);
    b |= (f / 40) % 2 ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((f / 25) % 3 == 0) b |= PlayHarness::bit(Up);
    const int cycle = f % 400;
    if ((cycle >= 100 && cycle < 175) || cycle == 250) b |= PlayHarness::bit(Button2);
    return b;
}

int usage() {
    std::fprintf(stderr, "usage: replay_bench [--rounds N] [--plays DIR] [--record]\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: replay_bench [--rounds N] [--plays DIR] [--record]\nPrints how fast whole plays re-simulate.\n")) return 0;
    int rounds = 3;
    bool forceRecord = false;
    fs::path dir = fs::weakly_canonical(fs::path("/proc/self/exe")).parent_path() / "replay_bench_plays";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rounds") && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--plays") && i + 1 < argc) dir = fs::absolute(argv[++i]);
        else if (!std::strcmp(argv[i], "--record")) forceRecord = true;
        else return usage();
    }
    fs::create_directories(dir);
    // Whatever the plays write lands in a scratch folder.
    char tmpl[] = "/tmp/replay-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    fs::create_directories(fs::path(tmpl) / "data");
    fs::current_path(tmpl);

    // The whole plays: kept ones that still reproduce, the others recorded now.
    std::vector<std::vector<unsigned char>> files;
    for (const PlaySpec& spec : kPlays) {
        const fs::path path = dir / (std::string(spec.name) + ".rep");
        std::vector<unsigned char> bytes;
        if (!forceRecord && fs::exists(path)) {
            bytes = readFile(path);
            if (!replay(bytes).matches) {
                std::printf("%s: the kept play no longer reproduces; recording it again\n", spec.name);
                bytes.clear();
            }
        }
        if (bytes.empty()) {
            std::printf("recording %s (%s) with the autopilot...", spec.name, spec.what);
            std::fflush(stdout);
            const auto t0 = std::chrono::steady_clock::now();
            bytes = record(spec);
            std::printf(" %.0f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            if (bytes.empty()) {
                std::fprintf(stderr, "%s: the autopilot's play did not end\n", spec.name);
                return 1;
            }
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                       static_cast<std::streamsize>(bytes.size()));
        }
        files.push_back(std::move(bytes));
    }

    std::printf("replay_bench: whole plays re-simulated as `nimbulon-replay verify` does, %d rounds,\n"
                "the median round of each play (per core: CPU time of the replaying thread)\n",
                rounds);
    std::printf("%-10s %-32s %-14s %7s %8s %12s\n", "play", "", "stages", "frames", "CPU s", "x real time");
    std::int64_t totalFrames = 0;
    double totalCpu = 0, allWall = 0, allCpu = 0;
    std::int64_t allFrames = 0;
    int mismatches = 0;
    for (std::size_t p = 0; p < files.size(); ++p) {
        std::vector<double> cpu;
        Replayed last;
        for (int r = 0; r < rounds; ++r) {
            last = replay(files[p]);
            mismatches += !last.matches;
            cpu.push_back(last.cpu);
            allWall += last.wall;
            allCpu += last.cpu;
            allFrames += last.result.frames;
        }
        std::sort(cpu.begin(), cpu.end());
        const double median = cpu[cpu.size() / 2];
        const int frames = last.result.frames;
        totalFrames += frames;
        totalCpu += median;
        std::printf("%-10s %-32s %-14s %7d %8.3f %10.0f x\n", kPlays[p].name, kPlays[p].what,
                    stagesOf(kPlays[p], last.result).c_str(), frames, median, frames / median / 60.0);
    }
    std::printf("%-10s %-32s %-14s %7lld %8.3f %10.0f x   (%.1f minutes of play)\n", "total", "", "",
                static_cast<long long>(totalFrames), totalCpu, totalFrames / totalCpu / 60.0, totalFrames / 3600.0);
    std::printf("all rounds by the clock: %.0f x real time (CPU %.0f x), %d mismatches\n",
                allFrames / allWall / 60.0, allFrames / allCpu / 60.0, mismatches);

    // Short plays: the setup of each replay is a large share of its time.
    std::vector<std::vector<unsigned char>> shortFiles;
    for (std::int32_t mode : {ModeFirstLap, ModeFirstLapOld, ModeSecondLap}) {
        PlayHarness play(mode, false);
        for (int f = 0; f < 60 * 60 * 15 && !play.ended(); ++f) play.step(weave(f + mode * 7));
        shortFiles.push_back(play.game().record().toBytes());
    }
    std::int64_t shortFrames = 0;
    double shortCpu = 0;
    int shortReplays = 0;
    for (int r = 0; r < 4 * rounds; ++r) {
        for (const auto& bytes : shortFiles) {
            const Replayed one = replay(bytes);
            mismatches += !one.matches;
            shortFrames += one.result.frames;
            shortCpu += one.cpu;
            ++shortReplays;
        }
    }
    std::printf("short Stage 1 plays: %d replays of %.0f frames on average, %.0f x real time per core"
                " (%.2f ms CPU a replay)\n",
                shortReplays, static_cast<double>(shortFrames) / shortReplays, shortFrames / shortCpu / 60.0,
                shortCpu / shortReplays * 1000.0);
    std::printf("%d mismatches\n", mismatches);

    fs::current_path("/");
    fs::remove_all(tmpl);
    return mismatches == 0 ? 0 : 1;
}
