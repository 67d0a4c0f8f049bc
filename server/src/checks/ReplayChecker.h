#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include "checks/Resimulation.h"

// Runs each re-simulation in a process of its own (the server's own program, started with
// --resimulate) under CPU-time and memory limits, and a wall-clock limit enforced from here: a
// replay that crashes, loops or eats memory takes only its own process down. The process starts in
// a session of its own (a stop signal sent to the server's process group, as a terminal's Ctrl-C
// or a service manager does, leaves it running so that its upload is still answered) with an
// empty environment, and filters its own system calls once it holds the replay.
class ReplayChecker {
public:
    struct Limits {
        std::int64_t maxFrames;
        int cpuSeconds;
        int memoryMb;
    };

    // program: the server's own executable (see ownExecutable).
    ReplayChecker(std::string program, Limits limits) : program_(std::move(program)), limits_(limits) {}

    ResimVerdict check(std::string_view replay) const;
    const Limits& limits() const { return limits_; }

    // Ends the checks running now (within a tenth of a second) and fails every later one at once:
    // for a server whose grace period for stopping has run out. Cannot be undone.
    void cancel() const { cancelled_.store(true); }

    // A path that starts this very program for as long as the process lives: the executable is
    // opened now and kept open, so an upgrade that replaces or deletes the file on disk does not
    // change the checks of a server already running. `fallback` when it cannot be opened.
    static std::string ownExecutable(const std::string& fallback);

    // The arguments that make the server program a check process.
    static constexpr const char* kChildFlag = "--resimulate";

private:
    std::string program_;
    Limits limits_;
    mutable std::atomic<bool> cancelled_{false};
};
