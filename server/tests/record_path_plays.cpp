// Records the honest plays the path comparison is tried on: autopiloted plays over a minute long,
// each heading for its own pattern of spots and dodging by looking ahead (Autopilot.h), and pairs
// that share their first 20 seconds exactly (the same pattern, so the same input) and then part.
//
//   nimbulon-record-path-plays OUTDIR [FIRST [LAST]]
//   nimbulon-record-path-plays --copies REPLAY OUTDIR
//
// Writes OUTDIR/NN.rep for plays FIRST..LAST (default all) and prints one line per play: number,
// mode, frames, score, lives, and the play it shares its opening with (or -). With --copies,
// writes OUTDIR/copy-N.rep for each dressed copy of REPLAY (pathplays::dressedCopies), printing
// one line per copy: its file and how it was dressed.
#include "app/ToolHelp.h"
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>
#include "Autopilot.h"
#include "PathPlays.h"

namespace {
int writeCopies(const char* replay, const std::string& outdir) {
    std::ifstream in(replay, std::ios::binary);
    const std::string honest((std::istreambuf_iterator<char>(in)), {});
    const std::vector<pathplays::Dressed> copies = pathplays::dressedCopies(honest);
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::string name = outdir + "/copy-" + std::to_string(i + 1) + ".rep";
        std::ofstream(name, std::ios::binary).write(copies[i].replay.data(), static_cast<std::streamsize>(copies[i].replay.size()));
        std::printf("%s %s\n", name.c_str(), copies[i].what);
    }
    return copies.empty() ? 1 : 0;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: nimbulon-record-path-plays OUTDIR [FIRST [LAST]]\n       nimbulon-record-path-plays --copies REPLAY OUTDIR\nRecords the honest plays (and dressed copies) the path comparison is tried on.\n")) return 0;
    if (argc == 4 && std::string(argv[1]) == "--copies") return writeCopies(argv[2], argv[3]);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: nimbulon-record-path-plays OUTDIR [FIRST [LAST]]\n");
        return 2;
    }
    const int first = argc > 2 ? std::atoi(argv[2]) : 0;
    const int last = argc > 3 ? std::atoi(argv[3]) : pathplays::kPlays - 1;
    for (int n = first; n <= last && n < pathplays::kPlays; ++n) {
        const pathplays::Plan plan = pathplays::plan(n);
        PlayHarness play(plan.mode, /*drawing*/ false);
        Autopilot pilot(play, 8, 120, [&plan](PlayHarness& p, int& x, int& y) {
            pathplays::aim(plan, p.game().playFrames(), x, y);
        });
        // The pilot's decisions until the quitting frame, then the pause menu's way to the title.
        while (play.game().playFrames() < plan.quitAt && pilot.step()) {
        }
        for (int f = 0; f < 40 && !play.ended(); ++f)
            play.step(f == 0 ? PlayHarness::bit(Button3) : f == 10 ? PlayHarness::bit(Down) : f == 20 ? PlayHarness::bit(Button1) : 0);
        if (!play.ended()) {
            std::fprintf(stderr, "play %d did not end\n", n);
            return 1;
        }
        const std::vector<unsigned char> bytes = play.game().record().toBytes();
        char name[32];
        std::snprintf(name, sizeof name, "/%02d.rep", n);
        std::ofstream(argv[1] + std::string(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const ScoreHeader h = play.game().record().getHeader();
        std::printf("%02d mode %d frames %d score %d lives %d opening %s\n", n, h.gameMode, h.frames, h.score, h.lives,
                    plan.sharesOpeningWith >= 0 ? std::to_string(plan.sharesOpeningWith).c_str() : "-");
        std::fflush(stdout);
    }
    return 0;
}
