// Records an honest, complete play headless and writes it as a replay file: the ship fires and
// weaves across the field (a pattern that differs with VARIANT) until the play ends. For trying a
// ranking server and for the end-to-end tests, which need plays that re-simulate exactly.
//
//   nimbulon-make-play OUT.rep [MODE] [VARIANT]      (mode default 4, variant default 0)
#include "app/ToolHelp.h"
#include <cstdio>
#include <cstdlib>
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/Score.h"

namespace {
std::uint8_t weave(int f, int variant) {
    const int period = 30 + 7 * variant;
    std::uint8_t b = PlayHarness::bit(Button1);
    b |= (f / period) % 2 ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((f / (25 + variant)) % 3 == 0) b |= PlayHarness::bit(Up);
    const int cycle = f % 400;
    if ((cycle >= 100 && cycle < 175) || cycle == 250) b |= PlayHarness::bit(Button2);
    return b;
}
}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: nimbulon-make-play OUT.rep [MODE] [VARIANT]\nRecords an honest, complete play headless (the ship fires and weaves until the play ends) and\nwrites it as a replay file. MODE 2 to 5 (default 4), VARIANT 0 to 1000 (default 0).\n")) return 0;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.rep [MODE] [VARIANT]\n", argv[0]);
        return 2;
    }
    const int mode = argc > 2 ? std::atoi(argv[2]) : ModeFirstLap;
    const int variant = argc > 3 ? std::atoi(argv[3]) : 0;
    if (mode < ModeFirstLapOld || mode > ModeSecondLap || variant < 0 || variant > 1000) {
        std::fprintf(stderr, "mode must be 2 to 5 and variant 0 to 1000\n");
        return 2;
    }
    PlayHarness play(mode, false);
    for (int f = 0; f < 60 * 60 * 30 && !play.ended(); ++f) play.step(weave(f, variant));
    if (!play.ended()) {
        std::fprintf(stderr, "the play did not end within 30 minutes\n");
        return 1;
    }
    Score record = play.game().record();
    if (!record.save(argv[1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const ScoreHeader h = record.getHeader();
    std::printf("mode %d, score %d, stages %d, lives %d, frames %d\n", h.gameMode, h.score, h.stages, h.lives, h.frames);
    return 0;
}
