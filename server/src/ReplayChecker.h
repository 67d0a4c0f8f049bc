#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include "Resimulation.h"

// Runs each re-simulation in a process of its own (the server's own program, started with
// --resimulate) under CPU-time and memory limits, and a wall-clock limit enforced from here: a
// replay that crashes, loops or eats memory takes only its own process down.
class ReplayChecker {
public:
    struct Limits {
        std::int64_t maxFrames;
        int cpuSeconds;
        int memoryMb;
    };

    // program: the server's own executable.
    ReplayChecker(std::string program, Limits limits) : program_(std::move(program)), limits_(limits) {}

    ResimVerdict check(std::string_view replay) const;
    const Limits& limits() const { return limits_; }

    // The arguments that make the server program a check process.
    static constexpr const char* kChildFlag = "--resimulate";

private:
    std::string program_;
    Limits limits_;
};
