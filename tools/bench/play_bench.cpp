// Headless frames per second of the play: a Stage 1 play driven by a fixed input pattern, and
// the busiest stretch of each boss fight, each with the logic alone (every frame's drawing
// skipped) and with the logic and the drawing. A later stage is reached by clearing the stages
// before it at once, so every stretch starts from the same play.
//
//   build/play_bench [mode]      (mode 4 or 5, the current version's laps; default 5)
#include "app/ToolHelp.h"
#include <ctime>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <unistd.h>
#include <vector>
#include "bosses/CharacterEnemyMaster.h"
#include "combat/CharacterPlayer.h"
#include "input/InputButton.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"

namespace {
constexpr int kStageFrames = 1200;  // the stage up to the boss's arrival
constexpr int kBossFightFrames = 6000;
constexpr int kWindow = 300;

// Fire all the time while sweeping across the lower field.
std::uint8_t pattern(int frame) {
    std::uint8_t b = PlayHarness::bit(Button1);
    b |= ((frame / 80) % 2) ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((frame / 40) % 4 == 1) b |= PlayHarness::bit(Up);
    if ((frame / 40) % 4 == 3) b |= PlayHarness::bit(Down);
    return b;
}

// The CPU time of this thread: the machine is shared, and a wall clock would count the time
// other programs take from it.
double cpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::size_t bulletsOnScreen(PlayHarness& play) { return play.treeSize(5) + play.treeSize(6); }

// The stages whose boss fights are measured; the final boss in its great grid, the busiest
// moment of the game (it is put into that phase as it arrives).
constexpr int kBossStages[] = {1, 2, 3, 4, 5};
constexpr int kArrivalLimit = 4000;  // frames searched for a boss (Boss 4 comes at 2670)

void intoGrid(PlayHarness& play) {
    for (Character* c : play.game().enemyRoot().GetChildren()) {
        if (auto* old = dynamic_cast<CharacterEnemyMaster*>(c); old && old->phase == 1) old->phase = 5, old->frame = 0;
        if (auto* cur = dynamic_cast<CharacterEnemyMasterb*>(c); cur && cur->phase == 1) cur->phase = 6, cur->frame = 0;
    }
}

// One frame of a measured play: the ship cannot die.
void stepPlay(PlayHarness& play, int& f) {
    play.game().player().invulnerable = 1 << 20;
    play.step(pattern(f++));
    intoGrid(play);
}

// Steps the play into the given stage: each stage before it is cleared on its first frame.
int reachStage(PlayHarness& play, int stage) {
    int f = 0;
    while (play.stage() < stage && !play.ended()) {
        play.info().SetFlag(FlagStageCleared, true);
        play.game().player().invulnerable = 1 << 20;
        play.step(pattern(f++));
    }
    return f;
}

// Plays from the start: `skip` frames untimed, then `frames` timed; the ship cannot die, so the
// same stretch of the play is measured every time. Returns frames per second of the timed part.
// frameTimes, when given, receives the CPU seconds of each timed frame.
double measure(std::int32_t mode, bool drawing, int skip, int frames, std::size_t* peakBullets = nullptr,
               int stage = 1, std::vector<double>* frameTimes = nullptr) {
    PlayHarness play(mode, drawing);
    int f = reachStage(play, stage);
    skip -= f;
    for (int i = 0; i < skip; ++i) stepPlay(play, f);
    std::size_t peak = 0;
    if (frameTimes) frameTimes->clear();
    const double start = cpuSeconds();
    for (int i = 0; i < frames; ++i) {
        const double before = frameTimes ? cpuSeconds() : 0;
        stepPlay(play, f);
        if (frameTimes) frameTimes->push_back(cpuSeconds() - before);
        if (peakBullets) peak = std::max(peak, bulletsOnScreen(play));
    }
    const double seconds = cpuSeconds() - start;
    if (peakBullets) *peakBullets = peak;
    return frames / seconds;
}

// The start of the kWindow frames of the boss fight with the most bullets on screen, found by
// one untimed play (plays are exact, so a second play reaches the same stretch).
int busiestBossWindow(std::int32_t mode, int stage, int bossFrom, std::size_t& bulletFrames) {
    PlayHarness play(mode, false);
    std::vector<std::size_t> counts(reachStage(play, stage), 0);
    for (int f = static_cast<int>(counts.size()); f < bossFrom + kBossFightFrames;) {
        stepPlay(play, f);
        // Only the boss's own stage counts: once it is cleared the fight is over.
        const bool fighting = !play.ended() && play.stage() == stage;
        counts.push_back(f - 1 >= bossFrom && fighting ? bulletsOnScreen(play) : 0);
    }
    std::size_t best = 0, sum = 0;
    int bestStart = bossFrom;
    for (int f = 0; f < static_cast<int>(counts.size()); ++f) {
        sum += counts[f];
        if (f >= kWindow) sum -= counts[f - kWindow];
        if (f + 1 >= bossFrom + kWindow && sum > best) {
            best = sum;
            bestStart = f + 1 - kWindow;
        }
    }
    bulletFrames = best;
    return bestStart;
}

// The first play frame on which the boss stands in the enemy tree.
int bossArrival(std::int32_t mode, int stage) {
    PlayHarness play(mode, false);
    for (int f = reachStage(play, stage); f < kArrivalLimit;) {
        stepPlay(play, f);
        for (const auto& s : play.spawns())
            if (s.kind == 7 && s.stage == stage) return f;
    }
    return kStageFrames;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: play_bench [mode]\nPrints headless frames per second of a play and of each boss fight (mode 4 or 5, default 5).\n")) return 0;
    const std::int32_t mode = argc > 1 ? std::atoi(argv[1]) : 5;
    // Whatever the play writes lands in a scratch folder.
    char tmpl[] = "/tmp/play-bench-XXXXXX";
    if (!mkdtemp(tmpl)) return 1;
    std::filesystem::create_directories(std::filesystem::path(tmpl) / "data");
    std::filesystem::current_path(tmpl);

    std::printf("play_bench: game mode %d, fixed input (fire, sweep left and right), ship kept alive\n", mode);
    const double stageLogic = measure(mode, false, 0, kStageFrames);
    const double stageDraw = measure(mode, true, 0, kStageFrames);
    std::printf("stage 1, frames 1..%d:          logic only %8.0f fps   logic + drawing %7.0f fps\n", kStageFrames,
                stageLogic, stageDraw);

    for (int stage : kBossStages) {
        const int arrival = bossArrival(mode, stage);
        std::size_t bulletFrames = 0;
        const int from = busiestBossWindow(mode, stage, arrival + 96, bulletFrames);
        std::size_t peak = 0;
        const double bossLogic = measure(mode, false, from, kWindow, &peak, stage);
        // Each frame's cost is its best of three plays: on a shared machine a frame's CPU time
        // still grows when other programs crowd the caches, and not on the same frame each time.
        std::vector<double> best(kWindow, 1e9), times;
        double bossDraw = 0;
        for (int run = 0; run < 3; ++run) {
            bossDraw = std::max(bossDraw, measure(mode, true, from, kWindow, nullptr, stage, &times));
            for (std::size_t i = 0; i < times.size(); ++i) best[i] = std::min(best[i], times[i]);
        }
        const double slowest = *std::max_element(best.begin(), best.end());
        std::printf("boss %d, busiest %d frames (from play frame %d, %.0f bullets on average, peak %zu):\n", stage,
                    kWindow, from, static_cast<double>(bulletFrames) / kWindow, peak);
        std::printf("                                 logic only %8.0f fps   logic + drawing %7.0f fps\n", bossLogic,
                    bossDraw);
        std::printf("(a frame has 1/60 s: %.1f%% of it, %.3f ms, on average over these frames with drawing;"
                    " the slowest one %.3f ms)\n",
                    6000.0 / bossDraw, 1000.0 / bossDraw, slowest * 1000.0);
    }

    std::filesystem::current_path("/");
    std::filesystem::remove_all(tmpl);
    return 0;
}
