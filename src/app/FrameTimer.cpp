#include "app/FrameTimer.h"
#include <algorithm>

FrameTimer::FrameTimer(Log* log, MsClock* clock) : log_(log), clock_(clock ? clock : &systemClock_) {
    Reset();
}

void FrameTimer::Reset() {
    startTime_ = clock_->now();
    windowStart_ = 0;
    ringIndex_ = 0;
    frameCount_ = 0;
    skipRun_ = 0;
    lastSkipRun_ = 0;
    skipThisFrame_ = false;
    for (int i = 0; i < 4; ++i) frameCounts_[i] = sleptMs_[i] = 0;
}

void FrameTimer::Wait() {
    const std::uint32_t elapsed = clock_->now() - startTime_;
    if (elapsed - windowStart_ > 500u) {
        // Close one 500 ms window per call; a longer stall is caught up over the next calls.
        windowStart_ += 500;
        std::int32_t frames = 0;
        std::int64_t slept = 0;
        for (int i = 0; i < 4; ++i) {
            frames += frameCounts_[i];
            slept += sleptMs_[i];
        }
        measuredFps_ = frames * 0.5;
        cpuLoad_ = (slept * 100.0 == 2000.0) ? 0.0 : std::clamp((2000 - slept) * 0.05, 0.0, 100.0);
        ringIndex_ = (ringIndex_ + 1) % 4;
        frameCounts_[ringIndex_] = 0;
        sleptMs_[ringIndex_] = 0;
    }
    frameCounts_[ringIndex_] += 1;
    frameCount_ += 1;

    const std::int32_t due = static_cast<std::int32_t>(static_cast<std::int64_t>(frameCount_) * 1000 / targetFps_);
    const auto wait = static_cast<std::int32_t>(static_cast<std::uint32_t>(due) - (clock_->now() - startTime_));
    if (wait >= 0) {
        lastSkipRun_ = skipRun_;
        skipRun_ = 0;
        skipThisFrame_ = false;
        if (!noSleep_) clock_->sleep(static_cast<std::uint32_t>(wait));
        sleptMs_[ringIndex_] += wait;
        return;
    }
    skipRun_ += 1;
    if (skipRun_ <= maxSkip_) {
        skipThisFrame_ = true;
        return;
    }
    // Too far behind: draw this frame and restart the schedule from now instead of catching up.
    lastSkipRun_ = maxSkip_;
    skipRun_ = 0;
    skipThisFrame_ = false;
    const std::uint32_t t = clock_->now();
    windowStart_ += startTime_ - t;
    startTime_ = t;
    frameCount_ = 0;
}
