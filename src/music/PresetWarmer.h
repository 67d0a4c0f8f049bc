#pragma once
#include <array>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace midiplayer {

// The synthesizer loads an instrument's samples from the soundfont when a program change selects
// it, inside its render lock: on the audio thread that is a gap of tens of milliseconds in the
// sound. The warmer loads them beforehand on a thread of its own ("pins" them, through `load`);
// meanwhile the output leaves the synthesizer alone (the music waits a few blocks, the effects
// play on), and a program change of a requested instrument waits until it is warm. Only the
// instruments of the song being played are kept pinned: the others are let go, so memory holds
// one song's samples, not every song's.
class PresetWarmer {
public:
    // load(key, true) pins an instrument, load(key, false) lets it go; called on the warming thread.
    explicit PresetWarmer(std::function<void(int key, bool pin)> load);
    ~PresetWarmer();
    PresetWarmer(const PresetWarmer&) = delete;
    PresetWarmer& operator=(const PresetWarmer&) = delete;

    // The instrument a program change selects, or -1 for one that is not tracked (banks other
    // than the melodic bank 0 and the drum bank 128).
    static int key(int bank, int program);
    // Main thread: keeps exactly these instruments (keys) loaded, in the background.
    void request(const std::vector<int>& keys);
    // Any thread, without waiting.
    bool isRequested(int key) const { return test(requested_, key); }
    bool isWarm(int key) const { return test(warm_, key); }
    // Waits up to timeoutMs until every request is done; true when they are.
    bool waitIdle(int timeoutMs);
    // Stops the warming thread (before what `load` uses goes away).
    void stop();

private:
    using Bits = std::array<std::atomic<std::uint64_t>, 4>;
    // When, after a song's instruments are in, the memory its swap with the last song freed is
    // given back.
    static constexpr std::array<std::chrono::milliseconds, 2> kSettle{std::chrono::milliseconds(300),
                                                                      std::chrono::milliseconds(3000)};
    static bool test(const Bits& bits, int key);
    static void set(Bits& bits, int key);
    static void clear(Bits& bits, int key);
    void run();

    std::function<void(int, bool)> load_;
    Bits requested_{}, warm_{};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<int> queue_;  // under mutex_: instruments to load
    std::vector<int> drop_;   // under mutex_: instruments to let go
    bool busy_ = false;       // under mutex_
    bool stop_ = false;       // under mutex_
    std::thread thread_;
};

}  // namespace midiplayer
