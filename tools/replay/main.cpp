// nimbulon-replay: re-simulates a replay file without window or sound and says whether it
// reproduces the result recorded in it.
//
//   nimbulon-replay verify FILE [--max-frames N] [--events]
//
// Exit status: 0 the re-simulated score, stages, lives and frames match the recorded ones;
// 1 they differ (or the bound stopped the play); 2 the file cannot be read, its version does not
// match its mode, or the command line is wrong.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include "app/Log.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
// Ten hours of play at 60 frames a second: more than any real play, small enough to end.
constexpr std::int64_t kDefaultMaxFrames = 60LL * 60 * 60 * 10;

int usage() {
    std::fprintf(stderr, "usage: nimbulon-replay verify FILE [--max-frames N] [--events]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || std::strcmp(argv[1], "verify") != 0) return usage();
    const std::string file = argv[2];
    std::int64_t maxFrames = kDefaultMaxFrames;
    bool events = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], "--events") == 0) {
            events = true;
        } else if (std::strcmp(argv[i], "--max-frames") == 0 && i + 1 < argc) {
            const char* text = argv[++i];
            char* end = nullptr;
            errno = 0;
            maxFrames = std::strtoll(text, &end, 10);
            // Only a whole, representable count: "", "12x" or a number past the range is refused.
            if (end == text || *end != '\0' || errno == ERANGE || maxFrames < 0) return usage();
        } else {
            return usage();
        }
    }

    Log log("");
    Score record(&log);
    if (!record.load(file)) {
        std::fprintf(stderr, "nimbulon-replay: %s is not a readable replay file\n", file.c_str());
        return 2;
    }
    const ScoreHeader h = record.getHeader();
    // With --events the standard output carries only the JSON lines; the summary goes to stderr.
    FILE* summary = events ? stderr : stdout;
    std::fprintf(summary, "recorded   mode %d  version %d  score %d  stages %d  lives %d  frames %d\n", h.gameMode,
                 h.version, h.score, h.stages, h.lives, h.frames);
    if (h.version != replayVersionOf(h.gameMode)) {
        std::fprintf(stderr, "nimbulon-replay: version %d is not the version of mode %d (%d)\n", h.version, h.gameMode,
                     replayVersionOf(h.gameMode));
        return 2;
    }

    ReplayRunner runner(record);
    ReplayRunner::EventSink sink;
    if (events) sink = [](const std::string& line) { std::fputs((line + "\n").c_str(), stdout); };
    const ReplayRunner::Result r = runner.run(maxFrames, sink);
    std::fflush(stdout);
    std::fprintf(summary, "replayed   mode %d  version %d  score %d  stages %d  lives %d  frames %d%s\n", h.gameMode,
                 h.version, r.score, r.stages, r.lives, r.frames, r.ended ? "" : "  (stopped by --max-frames)");
    const bool ok = ReplayRunner::matches(h, r);
    std::fprintf(summary, "%s\n", ok ? "MATCH" : "MISMATCH");
    return ok ? 0 : 1;
}
