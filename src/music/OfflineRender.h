#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>
#include "app/Clock.h"

namespace midiplayer {

// A clock that moves only when told: the playback thread's sleeps wait until the time has been
// advanced, and advance() returns once the thread has caught up (is asleep again). Rendering audio
// in step with it plays a song exactly as in real time, only faster and the same every run.
class LockstepClock : public MsClock {
public:
    std::uint32_t now() override;
    void sleep(std::uint32_t ms) override;
    // Moves the time on by ms and waits (up to 1 s) for the playback thread to sleep again.
    void advance(std::uint32_t ms);
    // Waits (up to 5 s) until the playback thread sleeps: its start has read the clock.
    void waitAsleep();
    // Lets every sleep return at once from now on.
    void release();
    // Tells the waits whether the playback thread still runs: one that has ended (a song it
    // could not play) never sleeps again, and the render goes on without waiting for it.
    void watch(std::function<bool()> running);

private:
    template <class Done>
    void waitUntil(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds limit, Done done);

    std::function<bool()> running_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::uint32_t time_ = 0;
    bool asleep_ = false;
    std::uint32_t wakeAt_ = 0;
    bool released_ = false;
};

// The longest render: an hour, well inside what a WAV file's 32-bit sizes can hold.
constexpr double kMaxRenderSeconds = 3600.0;

// Renders `seconds` of a Standard MIDI File as the game plays it (the music service, its player
// and synthesizer, the game's mixer), 44100 Hz interleaved stereo. Empty when the song or the
// soundfont cannot be loaded, or when seconds is not above 0 and at most kMaxRenderSeconds.
std::vector<std::int16_t> renderSong(const std::string& path, double seconds,
                                     const std::string& soundFont = "/usr/share/sounds/sf2/default-GM.sf2");

// How long one pass of a Standard MIDI File lasts as the player plays it, in milliseconds: from
// its start to its last event, at the tempi the file sets (the player loops right after the last
// event). Negative when the file cannot be read.
double songLengthMs(const std::string& path);

// Writes 16-bit stereo PCM at 44100 Hz as a WAV file.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& pcm);

}  // namespace midiplayer
