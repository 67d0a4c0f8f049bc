#include "music/PresetWarmer.h"
#include <fluidsynth.h>
#include <chrono>
#include <utility>

namespace midiplayer {

PresetWarmer::PresetWarmer(std::string soundFont) : soundFont_(std::move(soundFont)) {}

PresetWarmer::~PresetWarmer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
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

void PresetWarmer::request(const std::vector<int>& keys) {
    bool any = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (int k : keys) {
            if (k < 0 || k >= 256 || test(requested_, k)) continue;
            set(requested_, k);
            queue_.push_back(k);
            any = true;
        }
        if (any && !thread_.joinable()) thread_ = std::thread(&PresetWarmer::run, this);
    }
    if (any) cv_.notify_all();
}

bool PresetWarmer::waitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return queue_.empty() && !busy_; });
}

void PresetWarmer::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        cv_.wait(lock, [&] { return stop_ || !queue_.empty(); });
        if (stop_) return;
        const int k = queue_.front();
        queue_.erase(queue_.begin());
        busy_ = true;
        lock.unlock();
        if (synth_ == nullptr && sfontId_ == -1) {
            settings_ = new_fluid_settings();
            if (settings_ != nullptr) {
                fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
                fluid_settings_setint(settings_, "synth.polyphony", 16);
                fluid_settings_setint(settings_, "synth.reverb.active", 0);
                fluid_settings_setint(settings_, "synth.chorus.active", 0);
                synth_ = new_fluid_synth(settings_);
            }
            sfontId_ = synth_ != nullptr ? fluid_synth_sfload(synth_, soundFont_.c_str(), 0) : FLUID_FAILED;
        }
        // Pinned or not (no such instrument, no soundfont), the instrument counts as warm: the
        // program change must not wait for ever.
        if (synth_ != nullptr && sfontId_ != FLUID_FAILED) fluid_synth_pin_preset(synth_, sfontId_, k < 128 ? 0 : 128, k % 128);
        set(warm_, k);
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

}  // namespace midiplayer
