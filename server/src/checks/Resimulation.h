#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Plays an uploaded replay again with the game's own simulation and compares the outcome with
// what the file claims.
struct ResimVerdict {
    // Unranked: the play re-simulates, but is one the game itself never keeps (a stage was chosen
    // from the pause menu during it).
    enum Kind { Match, Mismatch, Unreadable, Unranked, Failed };
    Kind kind = Failed;
    std::int32_t score = 0, stages = 0, lives = 0, frames = 0;  // the re-simulated result
    std::string detail;                                          // for the log
    std::string chart;  // PlayChart::toText of the re-simulated play (empty: none)
    std::string path;   // PlayPath::encode of the re-simulated play (empty: none)

    bool matches() const { return kind == Match; }
    // One line, as the check process reports it: "match 12 3 0 4021" and the like, followed by
    // the play's chart when there is one; then the play's path (PlayPath::toText) on a line of
    // its own.
    std::string toLine() const;
    static ResimVerdict fromLine(std::string_view line);
};

// In this process. The play runs at most as many frames as the file claims (and never more than
// maxFrames), so a lying header cannot buy more simulation than it would take to verify it.
ResimVerdict resimulate(std::string_view replay, std::int64_t maxFrames);

// The check process: sets its own CPU-time, memory, file-size and open-file limits, then reads
// one replay file (at most 1 MiB) from standard input, re-simulates it and writes the verdict
// line to standard output. Returns the exit status.
int runResimulationChild(std::int64_t maxFrames, int cpuSeconds, int memoryMb);
