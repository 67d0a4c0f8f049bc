#pragma once
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

// Something that adds sound to the mix: effect voices, the music synthesizer.
class MixerSource {
public:
    virtual ~MixerSource() = default;
    // Adds `frames` stereo frames (interleaved L, R; full scale is 1.0) at the mixer's rate into out.
    // Runs on the audio thread.
    virtual void mixInto(float* out, int frames) = 0;
    // The same for a block whose first frame stands for the moment startMs of the system's
    // millisecond clock (wrapping like clockMsPrecise), one frame every 1000 / rate ms: a source
    // that knows when its messages were due can place them on their frame. By default the time
    // is not used.
    virtual void mixIntoAt(float* out, int frames, double startMs) { mixInto(out, frames); }

    // How loud the mixer adds this source, in percent of the level it is made at (0..100; the
    // player's volume settings). Any thread.
    void setVolume(int percent) { volume_.store(static_cast<float>(std::clamp(percent, 0, 100)) / 100.0f); }
    float volume() const { return volume_.load(); }

private:
    std::atomic<float> volume_{1.0f};
};

// The game's one mix: every source added together, then through a limiter that keeps the sum
// under full scale, so loud stretches (the busiest fights with their music) never clip. Below
// the ceiling the mix passes untouched. The audio device pulls from it on its own thread; tests
// and tools pull from it directly.
class Mixer {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    // Frames the audio device asks for at a time: 11.6 ms, so an effect sounds within one block
    // of Sound::play, with room left for the busiest frames to render in time.
    static constexpr int kDeviceFrames = 512;
    // How far behind the clock the live time line runs beyond one block: music messages leave
    // the playback thread a millisecond or two after they were due, and must still be in the
    // queue when the block that holds their moment is rendered.
    static constexpr double kLiveMarginMs = 3.0;
    // The limiter: no frame of the output goes above this (of full scale); past a loud peak the
    // gain comes back with this time constant.
    static constexpr float kCeiling = 0.95f;
    static constexpr double kReleaseSeconds = 0.15;

    void addSource(MixerSource* source);     // not owned
    void removeSource(MixerSource* source);  // returns once the source is no longer being mixed

    // Renders `frames` interleaved stereo 16-bit frames; sources apply what waits at its start.
    void render(std::int16_t* out, int frames);
    // Renders a block whose first frame stands for startMs (see MixerSource::mixIntoAt).
    void renderAt(std::int16_t* out, int frames, double startMs);
    // What the audio device calls, with the clock's reading (clockMsPrecise) when it was asked
    // for the block: the block stands for the time just gone, one block and the margin behind
    // that, so every message is placed at its own moment plus a constant delay.
    void renderLive(std::int16_t* out, int frames, double nowMs);

private:
    void renderBlock(std::int16_t* out, int frames, const double* startMs);
    // Scales scratch_ so that no sample passes kCeiling: the gain drops at once to what the
    // block's loudest sample needs and recovers smoothly, the same for both channels.
    void limit(int frames);

    std::mutex mutex_;
    std::vector<MixerSource*> sources_;
    std::vector<float> scratch_;
    std::vector<float> own_;  // one source's part, when it is turned down
    float gain_ = 1.0f;       // the limiter's gain, 1 when nothing loud came lately
};
