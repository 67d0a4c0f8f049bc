// Replay verification speed: records scripted plays through the headless harness, then
// re-simulates them as `nimbulon-replay verify` does until several minutes of play have been
// replayed, and prints frames per second and the multiple of real time (60 frames a second).
//
//   replay_bench [MINUTES]      (default 5)
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>
#include "app/Log.h"
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
std::uint8_t weave(int f) {
    std::uint8_t b = PlayHarness::bit(Button1);
    b |= (f / 40) % 2 ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((f / 25) % 3 == 0) b |= PlayHarness::bit(Up);
    const int cycle = f % 400;
    if ((cycle >= 100 && cycle < 175) || cycle == 250) b |= PlayHarness::bit(Button2);
    return b;
}
}  // namespace

int main(int argc, char** argv) {
    const double minutes = argc > 1 ? std::atof(argv[1]) : 5.0;
    const std::int64_t targetFrames = static_cast<std::int64_t>(minutes * 60 * 60);
    Log log("");

    // A few different plays, each a complete replay file's worth.
    std::vector<std::vector<unsigned char>> files;
    for (std::int32_t mode : {ModeFirstLap, ModeFirstLapOld, ModeSecondLap}) {
        PlayHarness play(mode, false);
        for (int f = 0; f < 60 * 60 * 15 && !play.ended(); ++f) play.step(weave(f + mode * 7));
        files.push_back(play.game().record().toBytes());
    }

    std::int64_t frames = 0;
    int replays = 0, mismatches = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    while (frames < targetFrames) {
        const auto& bytes = files[static_cast<std::size_t>(replays) % files.size()];
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        Score record(&log);
        record.read(in);
        ReplayRunner runner(record);
        const ReplayRunner::Result r = runner.run(record.getHeader().frames + 600);
        mismatches += !ReplayRunner::matches(record.getHeader(), r);
        frames += r.frames;
        ++replays;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double fps = frames / seconds;
    std::printf("replayed %d plays, %lld frames (%.1f minutes of play) in %.2f s\n", replays,
                static_cast<long long>(frames), frames / 3600.0, seconds);
    std::printf("%.0f frames per second, %.1f x real time, %d mismatches\n", fps, fps / 60.0, mismatches);
    // CPU time: the figure per core, whatever else the machine runs meanwhile.
    std::printf("per core (CPU time %.2f s): %.0f frames per second, %.1f x real time\n", cpuSeconds, frames / cpuSeconds,
                frames / cpuSeconds / 60.0);
    return mismatches == 0 ? 0 : 1;
}
