// Records honest plays as replay files for the server's loopback tests and its benchmark: each
// play weaves and fires, and leaves through the pause menu at a given frame (or plays on until
// the ship is lost).
//
//   nimbulon-record-plays OUTDIR [MANY [PAUSED]]
//
// Prints one line per file: name, mode, score, stages, lives, frames. With MANY, also writes
// OUTDIR/many/1.rep .. MANY.rep: short plays of mode 4 that each quit a frame later than the one
// before, so that every one is a play of its own (one play has one owner). With PAUSED, also
// OUTDIR/paused.rep: a play of mode 4 that sits in the pause menu for PAUSED frames before it
// quits, honest and as slow to check as a play that long (for catching a check while it runs).
#include "app/ToolHelp.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/Score.h"
#include "ServerTestSupport.h"

namespace {
using testplays::weaveThenQuit;

struct Plan {
    std::int32_t mode;
    int quitAt;
};
const Plan kPlans[] = {
    {ModeFirstLap, 300}, {ModeFirstLap, 600}, {ModeFirstLap, 900}, {ModeFirstLap, 1500},
    {ModeFirstLapOld, 600}, {ModeSecondLap, 700}, {ModeSecondLapOld, 400}, {ModeFirstLap, 0},
};
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: nimbulon-record-plays OUTDIR [MANY [PAUSED]]\nRecords honest plays as replay files for the server's tests and benchmark.\n")) return 0;
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: nimbulon-record-plays OUTDIR [MANY [PAUSED]]\n");
        return 2;
    }
    if (argc == 4) {
        const int paused = std::atoi(argv[3]);
        PlayHarness play(ModeFirstLap, /*drawing*/ false);
        auto input = [paused](int f) -> std::uint8_t {
            if (f < 200) return testplays::weave(f);
            if (f == 200) return PlayHarness::bit(Button3);
            if (f == 210 + paused) return PlayHarness::bit(Down);
            if (f == 220 + paused) return PlayHarness::bit(Button1);
            return 0;
        };
        for (int f = 0; f < 300 + paused && !play.ended(); ++f) play.step(input(f));
        if (!play.ended()) {
            std::fprintf(stderr, "the paused play did not end\n");
            return 1;
        }
        const std::vector<unsigned char> bytes = play.game().record().toBytes();
        std::ofstream(std::string(argv[1]) + "/paused.rep", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<Plan> plans(std::begin(kPlans), std::end(kPlans));
    const int many = argc == 3 ? std::atoi(argv[2]) : 0;
    if (many > 0) std::filesystem::create_directories(std::string(argv[1]) + "/many");
    for (int i = 1; i <= many; ++i) plans.push_back({ModeFirstLap, 200 + i});
    for (std::size_t p = 0; p < plans.size(); ++p) {
        const Plan& plan = plans[p];
        PlayHarness play(plan.mode, /*drawing*/ false);
        for (int f = 0; f < 60 * 60 * 30 && !play.ended(); ++f) play.step(weaveThenQuit(f, plan.quitAt));
        if (!play.ended()) {
            std::fprintf(stderr, "a play of mode %d did not end\n", plan.mode);
            return 1;
        }
        const std::vector<unsigned char> bytes = play.game().record().toBytes();
        const ScoreHeader h = play.game().record().getHeader();
        const std::string name =
            p >= std::size(kPlans) ? "many/" + std::to_string(p - std::size(kPlans) + 1)
                                   : "mode" + std::to_string(plan.mode) + "_" +
                                         (plan.quitAt ? "quit" + std::to_string(plan.quitAt) : "lost");
        std::ofstream(std::string(argv[1]) + "/" + name + ".rep", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        std::printf("%s mode %d score %d stages %d lives %d frames %d\n", name.c_str(), h.gameMode, h.score, h.stages,
                    h.lives, h.frames);
    }
    return 0;
}
