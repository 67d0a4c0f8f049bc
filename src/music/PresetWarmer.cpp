#include "music/PresetWarmer.h"
#include "app/HeapRelease.h"
#include <algorithm>
#include <chrono>
#include <utility>

namespace midiplayer {

PresetWarmer::PresetWarmer(std::function<void(int, bool)> load) : load_(std::move(load)) {}

PresetWarmer::~PresetWarmer() { stop(); }

void PresetWarmer::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    // Ready for a fresh start: nothing requested, nothing warm.
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = false;
    queue_.clear();
    drop_.clear();
    for (int k = 0; k < 256; ++k) clear(requested_, k), clear(warm_, k);
}

int PresetWarmer::key(int bank, int program) {
    if (program < 0 || program > 127) return -1;
    if (bank == 0) return program;
    if (bank == 128) return 128 + program;
    return -1;
}

bool PresetWarmer::test(const Bits& bits, int key) {
    if (key < 0 || key >= 256) return false;
    return (bits[key / 64].load(std::memory_order_acquire) >> (key % 64)) & 1u;
}

void PresetWarmer::set(Bits& bits, int key) {
    if (key >= 0 && key < 256) bits[key / 64].fetch_or(std::uint64_t(1) << (key % 64), std::memory_order_acq_rel);
}

void PresetWarmer::clear(Bits& bits, int key) {
    if (key >= 0 && key < 256) bits[key / 64].fetch_and(~(std::uint64_t(1) << (key % 64)), std::memory_order_acq_rel);
}

void PresetWarmer::request(const std::vector<int>& keys) {
    bool wanted[256] = {};
    for (int k : keys)
        if (k >= 0 && k < 256) wanted[k] = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int k = 0; k < 256; ++k) {
            if (wanted[k] == test(requested_, k)) continue;
            if (wanted[k]) {
                set(requested_, k);
                queue_.push_back(k);
                drop_.erase(std::remove(drop_.begin(), drop_.end(), k), drop_.end());
            } else {
                clear(requested_, k);
                queue_.erase(std::remove(queue_.begin(), queue_.end(), k), queue_.end());
                drop_.push_back(k);
            }
        }
        if ((!queue_.empty() || !drop_.empty()) && !thread_.joinable()) thread_ = std::thread(&PresetWarmer::run, this);
    }
    cv_.notify_all();
}

bool PresetWarmer::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return queue_.empty() && !busy_; });
}

void PresetWarmer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    // When to give freed memory back: at once when a song's instruments are in (the scratch of
    // loading them), and again as the swap settles: the last song's samples are freed on the
    // audio thread when the new song's program changes replace them (a few blocks after the
    // loading) and when their last voices have faded (a long release takes seconds).
    std::chrono::steady_clock::time_point loadedAt{};
    std::size_t releasesDone = kSettle.size();
    const auto hasWork = [&] { return stop_ || !queue_.empty() || !drop_.empty(); };
    while (true) {
        if (releasesDone == kSettle.size()) {
            cv_.wait(lock, hasWork);
        } else if (!cv_.wait_until(lock, loadedAt + kSettle[releasesDone], hasWork)) {
            ++releasesDone;
            lock.unlock();
            releaseFreeHeap();
            lock.lock();
            continue;
        }
        if (stop_) return;
        const bool pin = !queue_.empty();
        const int k = pin ? queue_.front() : drop_.front();
        if (pin) queue_.erase(queue_.begin());
        else drop_.erase(drop_.begin());
        busy_ = true;
        if (!pin) clear(warm_, k);
        lock.unlock();
        load_(k, pin);
        lock.lock();
        // Pinned or not (no such instrument, no soundfont), the instrument counts as warm: the
        // program change must not wait for ever. Unless it was let go meanwhile.
        if (pin && test(requested_, k)) set(warm_, k);
        busy_ = false;
        cv_.notify_all();
        if (queue_.empty() && drop_.empty()) {
            loadedAt = std::chrono::steady_clock::now();
            releasesDone = 0;
            lock.unlock();
            releaseFreeHeap();
            lock.lock();
        }
    }
}

}  // namespace midiplayer
