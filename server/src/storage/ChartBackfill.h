#pragma once
#include <atomic>
#include <functional>
#include <string>
#include <thread>

class Storage;
class ReplayChecker;

// Gives the plays stored before the server drew charts, or kept paths, their chart and path: each
// one is re-simulated once, in a check process like an upload's, on a thread of its own while the
// server serves. A play whose check gives none is marked as such and not tried again.
class ChartBackfill {
public:
    // log gets one line when the work is done (or was not needed).
    ChartBackfill(Storage& storage, const ReplayChecker& checker, std::function<void(const std::string&)> log);
    // Stops after the play being re-simulated.
    ~ChartBackfill();
    ChartBackfill(const ChartBackfill&) = delete;
    ChartBackfill& operator=(const ChartBackfill&) = delete;

    // On the caller's thread; returns the number of plays given what they lacked (without: those
    // whose check gave it not). For the tests.
    static int run(Storage& storage, const ReplayChecker& checker, const std::atomic<bool>& stop, int* without = nullptr);

private:
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
