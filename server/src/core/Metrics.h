#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <tuple>
#include <map>
#include <mutex>
#include <string>
#include <utility>

// The process's figures for an operator's scraper, in the Prometheus text format. Counters only
// grow; gauges are asked for when the page is written. One registry per process: the HTTP
// threads, the upload workers and the database leases all add to it without being handed it.
class Metrics {
public:
    // Upper bounds of the latency buckets, in seconds.
    static constexpr std::array<double, 12> kBuckets{0.0005, 0.001, 0.0025, 0.005, 0.01, 0.025,
                                                     0.05,   0.1,   0.25,   0.5,   1,     2.5};

    // A request answered: path is one of the server's own (anything else arrives as "other", so
    // that a scanner cannot make the page grow).
    void request(const std::string& path, unsigned status, double seconds);
    // An upload's answer: its first byte and why, one word.
    void upload(char code, const std::string& reason);
    // One database operation: how long its connection was held, and whether it failed.
    void database(double seconds, bool failed);

    // Asked for when the page is written: checks running and waiting, stored plays, banned names.
    struct Gauges {
        std::function<int()> checksRunning, checksQueued;
        std::function<std::int64_t()> storedPlays, bannedNames;  // throw when the database is away
    };
    void setGauges(Gauges gauges);

    // The whole page.
    std::string render();

private:
    struct Histogram {
        std::array<std::uint64_t, kBuckets.size()> counts{};  // per bucket, not cumulative
        std::uint64_t count = 0;
        double sum = 0;
        void add(double seconds);
        void write(std::string& out, const std::string& name, const std::string& labels) const;
    };

    std::mutex mutex_;
    std::map<std::pair<std::string, unsigned>, std::uint64_t> requests_;
    std::map<std::string, Histogram> latency_;
    std::map<std::pair<char, std::string>, std::uint64_t> uploads_;
    Histogram database_;
    std::uint64_t databaseErrors_ = 0;
    Gauges gauges_;
};

Metrics& serverMetrics();

// The one-word reason of an upload's answer, from the detail the upload service logs.
std::string uploadReason(char code, const std::string& detail);
