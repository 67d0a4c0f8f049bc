// nimbulon-replay: re-simulates replay files without window or sound and says whether each
// reproduces the result recorded in it.
//
//   nimbulon-replay verify FILE... [--max-frames N] [--events] [--jobs N] [--json]
//   nimbulon-replay frames FILE --at N[,N...] --out PREFIX   (pictures of chosen frames, FrameDump.cpp)
//
// One result line per file (MATCH, MISMATCH, STOPPED, UNREADABLE, VERSION or CRASHED, the file,
// the recorded result and where the replay differs); with a single file the recorded and
// replayed results come first on lines of their own. Exit status, the worst over all files:
// 0 every re-simulated score, stages, lives and frames match the recorded ones; 1 one differs (or
// the bound stopped it); 2 a file cannot be read, its version does not match its mode, checking
// it failed, or the command line is wrong.
//
// Several files are checked in child processes, --jobs at a time (default 1), and reported in the
// order given; a file that brings its checker down is reported alone. --json writes a summary
// object to the standard output; --events writes one JSON object per event of each play there
// instead (with a "file" member when there are several files). Whatever carries JSON, the result
// lines go to the standard error.
#include "app/ToolHelp.h"
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>
#include "FrameDump.h"
#include "app/Log.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
// Ten hours of play at 60 frames a second: more than any real play, small enough to end.
constexpr std::int64_t kDefaultMaxFrames = 60LL * 60 * 60 * 10;

enum Kind : int { Match, Mismatch, Stopped, Unreadable, Version, Crashed };
const char* const kKindWord[] = {"MATCH", "MISMATCH", "STOPPED", "UNREADABLE", "VERSION", "CRASHED"};
const char* const kKindJson[] = {"match", "mismatch", "stopped", "unreadable", "version", "crashed"};
int statusOf(Kind k) { return k == Match ? 0 : (k == Mismatch || k == Stopped) ? 1 : 2; }

// What checking one file found; plain data, so a child process can hand it over a pipe.
struct Outcome {
    Kind kind = Crashed;
    ScoreHeader recorded{};
    bool haveHeader = false;
    ReplayRunner::Result replayed{};
    bool ran = false;
    double seconds = 0;
};

struct Options {
    std::vector<std::string> files;
    std::int64_t maxFrames = kDefaultMaxFrames;
    bool events = false;
    bool json = false;
    int jobs = 1;
};

int usage() {
    std::fprintf(stderr, "usage: nimbulon-replay verify FILE... [--max-frames N] [--events] [--jobs N] [--json]\n");
    return 2;
}

// Only a whole, representable count at least `least`: "", "12x" or a number past the range is refused.
bool parseCount(const char* text, std::int64_t least, std::int64_t& out) {
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE || v < least) return false;
    out = v;
    return true;
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

Outcome verify(const std::string& file, const Options& o, FILE* events, bool nameEvents) {
    Outcome out;
    const auto t0 = std::chrono::steady_clock::now();
    Log log("");
    Score record(&log);
    if (!record.load(file)) {
        out.kind = Unreadable;
        return out;
    }
    out.recorded = record.getHeader();
    out.haveHeader = true;
    if (out.recorded.version != replayVersionOf(out.recorded.gameMode)) {
        out.kind = Version;
        return out;
    }
    ReplayRunner runner(record);
    ReplayRunner::EventSink sink;
    const std::string prefix = nameEvents ? "{\"file\":" + jsonString(file) + "," : "{";
    if (o.events) sink = [&](const std::string& line) { std::fprintf(events, "%s%s\n", prefix.c_str(), line.c_str() + 1); };
    out.replayed = runner.run(o.maxFrames, sink);
    out.ran = true;
    out.kind = ReplayRunner::matches(out.recorded, out.replayed) ? Match : out.replayed.ended ? Mismatch : Stopped;
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return out;
}

// "score 120" when the replay agrees, "score 120 (replayed 118)" when not.
std::string field(const char* name, std::int32_t recorded, std::int32_t replayed, bool ran) {
    std::string s = std::string(name) + " " + std::to_string(recorded);
    if (ran && replayed != recorded) s += " (replayed " + std::to_string(replayed) + ")";
    return s;
}

void printLine(FILE* to, const std::string& file, const Outcome& r, const Options& o) {
    std::string line = std::string(kKindWord[r.kind]) + "  " + file;
    const ScoreHeader& h = r.recorded;
    switch (r.kind) {
        case Unreadable: line += "  not a readable replay file"; break;
        case Crashed: line += "  checking it failed"; break;
        case Version:
            line += "  version " + std::to_string(h.version) + " is not the version of mode " + std::to_string(h.gameMode) +
                    " (" + std::to_string(replayVersionOf(h.gameMode)) + ")";
            break;
        default:
            line += "  mode " + std::to_string(h.gameMode) + "  version " + std::to_string(h.version) + "  " +
                    field("score", h.score, r.replayed.score, true) + "  " + field("stages", h.stages, r.replayed.stages, true) +
                    "  " + field("lives", h.lives, r.replayed.lives, true) + "  " +
                    field("frames", h.frames, r.replayed.frames, true);
            if (r.kind == Stopped) line += "  (stopped by --max-frames)";
    }
    std::fprintf(to, "%s\n", line.c_str());
}

std::string jsonOutcome(const std::string& file, const Outcome& r) {
    auto result = [](const char* a, std::int32_t s, std::int32_t st, std::int32_t l, std::int32_t f) {
        return std::string("{\"score\":") + std::to_string(s) + ",\"stages\":" + std::to_string(st) + ",\"lives\":" +
               std::to_string(l) + ",\"frames\":" + std::to_string(f) + a + "}";
    };
    std::string j = "{\"file\":" + jsonString(file) + ",\"result\":\"" + kKindJson[r.kind] + "\",\"status\":" +
                    std::to_string(statusOf(r.kind));
    if (r.haveHeader) {
        const ScoreHeader& h = r.recorded;
        j += ",\"mode\":" + std::to_string(h.gameMode) + ",\"version\":" + std::to_string(h.version) +
             ",\"recorded\":" + result("", h.score, h.stages, h.lives, h.frames);
    }
    if (r.ran) {
        const ReplayRunner::Result& p = r.replayed;
        j += ",\"replayed\":" + result(p.ended ? ",\"ended\":true" : ",\"ended\":false", p.score, p.stages, p.lives, p.frames);
        char secs[32];
        std::snprintf(secs, sizeof secs, "%.3f", r.seconds);
        j += std::string(",\"seconds\":") + secs;
    }
    return j + "}";
}

// Checks every file in child processes, up to o.jobs at once; outcomes in the order of the files.
std::vector<Outcome> verifyInChildren(const Options& o) {
    const std::size_t n = o.files.size();
    std::vector<Outcome> outcomes(n);
    std::vector<FILE*> events(n, nullptr);
    struct Child { std::size_t index; int fd; };
    std::map<pid_t, Child> running;
    std::size_t next = 0, printedEvents = 0;
    std::vector<bool> done(n, false);
    while (next < n || !running.empty()) {
        while (next < n && static_cast<int>(running.size()) < o.jobs) {
            const std::size_t i = next++;
            if (o.events) events[i] = std::tmpfile();
            int fds[2];
            if (pipe(fds) != 0) {
                outcomes[i].kind = Crashed;
                done[i] = true;
                continue;
            }
            std::fflush(nullptr);
            const pid_t pid = fork();
            if (pid == 0) {
                close(fds[0]);
                const Outcome r = verify(o.files[i], o, events[i] ? events[i] : stdout, true);
                if (events[i]) std::fflush(events[i]);
                const char* p = reinterpret_cast<const char*>(&r);
                std::size_t left = sizeof r;
                while (left > 0) {
                    const ssize_t w = write(fds[1], p, left);
                    if (w <= 0) break;
                    p += w;
                    left -= static_cast<std::size_t>(w);
                }
                _exit(0);
            }
            close(fds[1]);
            if (pid < 0) {
                close(fds[0]);
                outcomes[i].kind = Crashed;
                done[i] = true;
                continue;
            }
            running[pid] = {i, fds[0]};
        }
        if (!running.empty()) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, 0);
            const auto it = running.find(pid);
            if (it == running.end()) continue;
            Outcome r;  // Crashed unless the child handed over a whole outcome
            const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
            if (exited && read(it->second.fd, &r, sizeof r) != static_cast<ssize_t>(sizeof r)) r = Outcome{};
            if (!exited) r = Outcome{};
            close(it->second.fd);
            outcomes[it->second.index] = r;
            done[it->second.index] = true;
            running.erase(it);
        }
        // Events go out in the order of the files, each file's as soon as those before it are done.
        while (printedEvents < n && done[printedEvents]) {
            if (FILE* f = events[printedEvents]) {
                std::rewind(f);
                char buf[65536];
                for (std::size_t k; (k = std::fread(buf, 1, sizeof buf, f)) > 0;) std::fwrite(buf, 1, k, stdout);
                std::fclose(f);
            }
            ++printedEvents;
        }
    }
    std::fflush(stdout);
    return outcomes;
}

}  // namespace

int main(int argc, char** argv) {
    if (answeredHelp(argc, argv, "usage: nimbulon-replay verify FILE... [--max-frames N] [--events] [--jobs N] [--json]\n       nimbulon-replay frames FILE --at N[,N...] --out PREFIX\nRe-simulates replay files headless and says whether each plays as its header claims; frames\nwrites the pictures of chosen frames.\n")) return 0;
    if (argc >= 2 && std::strcmp(argv[1], "frames") == 0) return framesCommand(argc, argv);
    if (argc < 3 || std::strcmp(argv[1], "verify") != 0) return usage();
    Options o;
    for (int i = 2; i < argc; ++i) {
        std::int64_t v = 0;
        if (std::strcmp(argv[i], "--events") == 0) {
            o.events = true;
        } else if (std::strcmp(argv[i], "--json") == 0) {
            o.json = true;
        } else if (std::strcmp(argv[i], "--max-frames") == 0 && i + 1 < argc) {
            if (!parseCount(argv[++i], 0, o.maxFrames)) return usage();
        } else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc) {
            if (!parseCount(argv[++i], 1, v) || v > 256) return usage();
            o.jobs = static_cast<int>(v);
        } else if (std::strncmp(argv[i], "--", 2) == 0) {
            return usage();
        } else {
            o.files.push_back(argv[i]);
        }
    }
    if (o.files.empty()) return usage();

    // The standard output carries the events, else the JSON summary, else the result lines.
    FILE* lines = (o.events || o.json) ? stderr : stdout;
    const auto t0 = std::chrono::steady_clock::now();
    std::vector<Outcome> outcomes;
    if (o.files.size() == 1) {
        // One file is checked in this process, with the recorded and replayed results in full.
        Log log("");
        Score probe(&log);
        const bool readable = probe.load(o.files[0]);
        const ScoreHeader h = probe.getHeader();
        if (readable)
            std::fprintf(lines, "recorded   mode %d  version %d  score %d  stages %d  lives %d  frames %d\n", h.gameMode,
                         h.version, h.score, h.stages, h.lives, h.frames);
        const Outcome r = verify(o.files[0], o, stdout, false);
        std::fflush(stdout);
        if (r.ran)
            std::fprintf(lines, "replayed   mode %d  version %d  score %d  stages %d  lives %d  frames %d%s\n", h.gameMode,
                         h.version, r.replayed.score, r.replayed.stages, r.replayed.lives, r.replayed.frames,
                         r.replayed.ended ? "" : "  (stopped by --max-frames)");
        outcomes.push_back(r);
    } else {
        outcomes = verifyInChildren(o);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    int worst = 0;
    int count[6] = {};
    long long frames = 0;
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        printLine(lines, o.files[i], outcomes[i], o);
        worst = std::max(worst, statusOf(outcomes[i].kind));
        ++count[outcomes[i].kind];
        if (outcomes[i].ran) frames += outcomes[i].replayed.frames;
    }
    if (outcomes.size() > 1)
        std::fprintf(lines, "%zu files: %d match, %d mismatch, %d stopped, %d unreadable, %d version, %d crashed; "
                            "%lld frames in %.2f s\n",
                     outcomes.size(), count[Match], count[Mismatch], count[Stopped], count[Unreadable], count[Version],
                     count[Crashed], frames, seconds);
    if (o.json) {
        FILE* to = o.events ? stderr : stdout;
        std::string j = "{\"files\":[";
        for (std::size_t i = 0; i < outcomes.size(); ++i) j += (i ? "," : "") + jsonOutcome(o.files[i], outcomes[i]);
        char tail[256];
        std::snprintf(tail, sizeof tail,
                      "],\"total\":%zu,\"match\":%d,\"mismatch\":%d,\"stopped\":%d,\"unreadable\":%d,\"version\":%d,"
                      "\"crashed\":%d,\"frames\":%lld,\"seconds\":%.3f,\"jobs\":%d,\"status\":%d}",
                      outcomes.size(), count[Match], count[Mismatch], count[Stopped], count[Unreadable], count[Version],
                      count[Crashed], frames, seconds, o.jobs, worst);
        std::fprintf(to, "%s%s\n", j.c_str(), tail);
    }
    return worst;
}
