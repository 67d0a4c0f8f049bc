#pragma once
// An injected clock and a recording output for the playback thread tests.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include "EventText.h"
#include "app/Clock.h"
#include "music/Player.h"

namespace miditest {

// Virtual milliseconds: each sleep advances the time by `step` ms and returns at once, so the
// playback thread runs through virtual time as fast as it can. When the time reaches `limit` the
// sleeping thread is held until release(), so a test can look at what was sent so far.
class FakeClock : public MsClock {
public:
    explicit FakeClock(std::uint32_t limit, std::uint32_t step = 1) : limit_(limit), step_(step) {}

    std::uint32_t now() override {
        reads.fetch_add(1);
        return time.load();
    }
    void sleep(std::uint32_t ms) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (naps.size() < 100000) naps.push_back({time.load(), ms});
        }
        time.fetch_add(step_);
        sleeps.fetch_add(1);
        if (time.load() < limit_) return;
        std::unique_lock<std::mutex> lock(mutex_);
        held_ = true;
        cv_.notify_all();
        cv_.wait(lock, [&] { return released_; });
    }
    // True once the playback thread is held at the limit (false after 10 s of real time).
    bool waitHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return held_; });
    }
    void release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        cv_.notify_all();
    }

    std::atomic<std::uint32_t> time{0};
    std::atomic<int> reads{0};
    std::atomic<int> sleeps{0};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> naps;  // (time, ms asked for)

private:
    std::uint32_t limit_, step_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool held_ = false, released_ = false;
};

// Records every event it receives as "<clock ms>: <event text without track>".
class Recorder : public midiplayer::OutputObserver {
public:
    explicit Recorder(MsClock* clock = nullptr) : clock_(clock) {}
    void onEvent(const midiplayer::Event& e) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::string at = clock_ != nullptr ? std::to_string(clock_->now()) + ": " : "";
        lines_.push_back(at + eventText(e, false));
    }
    std::vector<std::string> lines() {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    MsClock* clock_;
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

inline std::vector<std::string> allNotesOff(const std::string& prefix = "") {
    std::vector<std::string> out;
    char b[32];
    for (int c = 0; c < 16; ++c) {
        std::snprintf(b, sizeof b, "0 short %02x 7b 00", 0xB0 + c);
        out.push_back(prefix + b);
    }
    return out;
}

}  // namespace miditest
