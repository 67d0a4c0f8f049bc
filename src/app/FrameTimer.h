#pragma once
#include <cstdint>
#include "app/Clock.h"

class Log;

// Paces the program at targetFps on a millisecond clock, decides when drawing must be skipped,
// and measures the achieved frame rate and the share of time not slept.
class FrameTimer {
public:
    // clock: not owned; null means the system clock.
    explicit FrameTimer(Log* log, MsClock* clock = nullptr);

    void Reset();
    void Wait();

    double measuredFps() const { return measuredFps_; }
    double cpuLoad() const { return cpuLoad_; }
    std::int32_t lastSkipRun() const { return lastSkipRun_; }
    bool skipThisFrame() const { return skipThisFrame_; }
    std::int32_t targetFps() const { return targetFps_; }
    void setTargetFps(std::int32_t fps) { targetFps_ = fps; }
    void setNoSleep(bool b) { noSleep_ = b; }

private:
    Log* log_;
    SystemClock systemClock_;
    MsClock* clock_;
    double measuredFps_ = 0;
    std::int32_t targetFps_ = 60;
    std::uint32_t startTime_ = 0;
    std::int32_t frameCount_ = 0;
    std::uint32_t windowStart_ = 0;
    std::int32_t frameCounts_[4] = {};
    std::int32_t ringIndex_ = 0;
    bool noSleep_ = false;
    std::int32_t maxSkip_ = 10;
    std::int32_t skipRun_ = 0;
    bool skipThisFrame_ = false;
    std::int32_t lastSkipRun_ = 0;
    double cpuLoad_ = 0;
    // 64 bits: a timer that does not really sleep (a replay run faster than real time) owes
    // more than a 32-bit sum of its waits can hold.
    std::int64_t sleptMs_[4] = {};
};
