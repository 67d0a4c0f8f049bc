// nimbulon-replay frames: the playfield pictures of chosen frames of a replay, drawn exactly as
// the game draws them, as binary PPM files. The browser's player is checked against these.
#include "FrameDump.h"
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include "app/Log.h"
#include "graphics/Surface.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
constexpr int kLeft = 160, kWidth = 480, kHeight = 600;

int framesUsage() {
    std::fprintf(stderr, "usage: nimbulon-replay frames FILE --at N[,N...] --out PREFIX\n"
                         "  writes PREFIX-N.ppm, the playfield after the play's Nth step (the first is 1)\n");
    return 2;
}

bool writePpm(const std::string& path, const Surface& back) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fprintf(f, "P6\n%d %d\n255\n", kWidth, kHeight);
    unsigned char row[kWidth * 3];
    for (int y = 0; y < kHeight; ++y) {
        const std::uint32_t* src = back.row(y) + kLeft;
        for (int x = 0; x < kWidth; ++x) {
            row[3 * x] = static_cast<unsigned char>(src[x] >> 16);
            row[3 * x + 1] = static_cast<unsigned char>(src[x] >> 8);
            row[3 * x + 2] = static_cast<unsigned char>(src[x]);
        }
        std::fwrite(row, 1, sizeof row, f);
    }
    return std::fclose(f) == 0;
}
}  // namespace

int framesCommand(int argc, char** argv) {
    std::string file, prefix;
    std::set<long> wanted;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--at") == 0 && i + 1 < argc) {
            for (const char* p = argv[++i]; *p;) {
                char* end = nullptr;
                errno = 0;
                const long n = std::strtol(p, &end, 10);
                if (end == p || errno == ERANGE || n < 1 || (*end != ',' && *end != '\0')) return framesUsage();
                wanted.insert(n);
                p = *end == ',' ? end + 1 : end;
            }
        } else if (std::strcmp(argv[i], "--out") == 0 && i + 1 < argc) {
            prefix = argv[++i];
        } else if (argv[i][0] == '-' || !file.empty()) {
            return framesUsage();
        } else {
            file = argv[i];
        }
    }
    if (file.empty() || prefix.empty() || wanted.empty()) return framesUsage();
    Log log("");
    Score record(&log);
    if (!record.load(file)) {
        std::fprintf(stderr, "%s: not a readable replay file\n", file.c_str());
        return 2;
    }
    const ScoreHeader h = record.getHeader();
    if (h.version != replayVersionOf(h.gameMode)) {
        std::fprintf(stderr, "%s: version %d is not the version of mode %d\n", file.c_str(), h.version, h.gameMode);
        return 2;
    }
    ReplayRunner runner(record, /*drawing*/ true);
    for (long step = 1; step <= *wanted.rbegin(); ++step) {
        const bool ended = runner.step();
        if (wanted.count(step)) {
            const std::string path = prefix + "-" + std::to_string(step) + ".ppm";
            if (!writePpm(path, runner.picture())) {
                std::fprintf(stderr, "cannot write %s\n", path.c_str());
                return 2;
            }
        }
        if (ended && step < *wanted.rbegin()) {
            std::fprintf(stderr, "the play ended after %ld steps, before step %ld\n", step, *wanted.rbegin());
            return 1;
        }
    }
    return 0;
}
