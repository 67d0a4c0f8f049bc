#include "checks/Resimulation.h"
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cstdio>
#include <sstream>
#include <vector>
#include "checks/CheckSandbox.h"
#include "core/PlayChart.h"
#include "core/PlayPath.h"
#include "core/UploadForm.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
const char* kindName(ResimVerdict::Kind k) {
    switch (k) {
        case ResimVerdict::Match: return "match";
        case ResimVerdict::Mismatch: return "mismatch";
        case ResimVerdict::Unreadable: return "unreadable";
        case ResimVerdict::Unranked: return "unranked";
        case ResimVerdict::Failed: break;
    }
    return "failed";
}

void limit(int resource, rlim_t value) {
    const rlimit r{value, value};
    setrlimit(resource, &r);
}
}  // namespace

std::string ResimVerdict::toLine() const {
    char line[96];
    std::snprintf(line, sizeof line, "%s %d %d %d %d", kindName(kind), score, stages, lives, frames);
    std::string out = line + (chart.empty() ? "" : " " + chart) + "\n";
    if (!path.empty()) out += PlayPath::textOf(path) + "\n";
    return out;
}

ResimVerdict ResimVerdict::fromLine(std::string_view text) {
    ResimVerdict v;
    std::istringstream in{std::string(text)};
    std::string word;
    if (!(in >> word)) {
        v.detail = "the check gave no verdict";
        return v;
    }
    if (word == "match") v.kind = Match;
    else if (word == "mismatch") v.kind = Mismatch;
    else if (word == "unreadable") v.kind = Unreadable;
    else if (word == "unranked") v.kind = Unranked;
    else v.kind = Failed;
    if (!(in >> v.score >> v.stages >> v.lives >> v.frames)) {
        v.kind = Failed;
        v.detail = "the check's verdict is cut short";
        return v;
    }
    // The chart is only a picture of the play: one the check could not have written, or one
    // reaching past the verdict's frames, is dropped; the verdict stands.
    std::string rest;
    std::getline(in, rest);
    rest.erase(0, rest.find_first_not_of(' '));
    if (PlayChart::fromText(rest, v.frames)) v.chart = rest;
    // So is the path, and it holds no more frames than the play ran.
    std::string path;
    if (std::getline(in, path))
        if (const std::optional<PlayPath> p = PlayPath::fromText(path, static_cast<std::int64_t>(v.frames) + 1))
            v.path = p->encode();
    return v;
}

ResimVerdict resimulate(std::string_view replay, std::int64_t maxFrames) {
    ResimVerdict v;
    Score record(nullptr);
    std::istringstream in{std::string(replay)};
    if (!record.read(in)) {
        v.kind = ResimVerdict::Unreadable;
        return v;
    }
    const ScoreHeader claimed = record.getHeader();
    ReplayRunner runner(record);
    if (!runner.versionMatches()) {
        v.kind = ResimVerdict::Unreadable;
        return v;
    }
    // The play scene counts every frame it runs, the last included: a play that has not ended
    // one frame after its claimed length does not match whatever else it does.
    std::int64_t budget = static_cast<std::int64_t>(claimed.frames) + 1;
    if (budget > maxFrames) budget = maxFrames;
    if (budget < 1) budget = 1;
    // Frame by frame, so that the chart sees the play as it goes.
    PlayChartRecorder chart;
    PlayPath path;
    for (std::int64_t i = 0; i < budget; ++i) {
        const bool ended = runner.step();
        const ReplayRunner::Result now = runner.result();
        chart.frame(now.frames, now.stages, now.score, now.lives);
        if (now.played) path.points.push_back({now.shipX, now.shipY, now.score});
        if (ended) break;
    }
    v.path = path.encode();
    const ReplayRunner::Result r = runner.result();
    v.chart = chart.finish().toText();
    v.score = r.score;
    v.stages = r.stages;
    v.lives = r.lives;
    v.frames = r.frames;
    v.kind = r.stageSelected                      ? ResimVerdict::Unranked
             : ReplayRunner::matches(claimed, r) ? ResimVerdict::Match
                                                 : ResimVerdict::Mismatch;
    return v;
}

int runResimulationChild(std::int64_t maxFrames, int cpuSeconds, int memoryMb) {
    // Limits first, before a byte of the upload is looked at. The play reads nothing it needs
    // from the working folder; the root keeps it from touching the server's. Nothing but the
    // three standard streams stays open, whatever the starting program left without close-on-exec,
    // and the check ends with the thread that waits for it (a server killed outright leaves no
    // check behind).
    if (chdir("/") != 0) return 3;
    if (close_range(3, ~0U, 0) != 0) return 3;
    // Stop signals are the server's business: a service manager that signals every process of
    // the service (systemd's default) must not end the check of an upload the server is still
    // going to answer. The server ends a check it gives up on with SIGKILL.
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) signal(sig, SIG_IGN);
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return 3;
    limit(RLIMIT_CPU, static_cast<rlim_t>(cpuSeconds));
#ifndef __SANITIZE_ADDRESS__
    limit(RLIMIT_AS, static_cast<rlim_t>(memoryMb) * 1024 * 1024);
#else
    // AddressSanitizer reserves terabytes of address space for its shadow memory, so a build
    // with it bounds the resident memory instead (hard_rss_limit_mb, set by the server when it
    // starts the check, and looked at again below).
#endif
    limit(RLIMIT_FSIZE, 0);
    limit(RLIMIT_CORE, 0);
    limit(RLIMIT_NOFILE, 16);

    std::string replay;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (n < 0) return 3;
        if (n == 0) break;
        replay.append(buffer.data(), static_cast<std::size_t>(n));
        if (replay.size() > kMaxUploadBody) return 3;
    }
    // From here on the process can compute, allocate and write its verdict, nothing else.
    if (!enterCheckSandbox()) return 3;
    const std::string line = resimulate(replay, maxFrames).toLine();
#ifdef __SANITIZE_ADDRESS__
    // The sanitizer looks at the resident memory only now and then; a short check that went past
    // the limit between two looks gives no verdict either.
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0 && usage.ru_maxrss / 1024 > memoryMb) return 3;
#endif
    return write(STDOUT_FILENO, line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 3;
}
