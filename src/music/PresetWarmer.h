#pragma once
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace midiplayer {

// The synthesizer loads an instrument's samples from the soundfont when a program change selects
// it, inside the render lock: on the audio thread that is a gap of tens of milliseconds in the
// sound. The warmer loads them beforehand on a thread of its own, through a second synthesizer
// that keeps them selected ("pinned"); the samples are shared, so the game's synthesizer finds
// them loaded. Until a requested instrument is warm, the output holds its program change back.
class PresetWarmer {
public:
    explicit PresetWarmer(std::string soundFont);
    ~PresetWarmer();
    PresetWarmer(const PresetWarmer&) = delete;
    PresetWarmer& operator=(const PresetWarmer&) = delete;

    // The instrument a program change selects, or -1 for one that is not tracked (banks other
    // than the melodic bank 0 and the drum bank 128).
    static int key(int bank, int program);
    // Main thread: loads these instruments (keys) in the background.
    void request(const std::vector<int>& keys);
    // Any thread, without waiting.
    bool isRequested(int key) const { return test(requested_, key); }
    bool isWarm(int key) const { return test(warm_, key); }
    // Waits up to timeoutMs until every request is done; true when they are.
    bool waitIdle(int timeoutMs);

private:
    using Bits = std::array<std::atomic<std::uint64_t>, 4>;
    static bool test(const Bits& bits, int key);
    static void set(Bits& bits, int key);
    void run();

    std::string soundFont_;
    Bits requested_{}, warm_{};
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<int> queue_;  // under mutex_
    bool busy_ = false;       // under mutex_
    bool stop_ = false;       // under mutex_
    std::thread thread_;
    fluid_settings_t* settings_ = nullptr;  // the warming thread's own
    fluid_synth_t* synth_ = nullptr;
    int sfontId_ = -1;
};

}  // namespace midiplayer
