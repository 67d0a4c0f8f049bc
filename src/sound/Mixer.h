#pragma once
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
};

// The game's one mix: every source added together, clipped to 16 bits. The audio device pulls
// from it on its own thread; tests and tools pull from it directly.
class Mixer {
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;

    void addSource(MixerSource* source);     // not owned
    void removeSource(MixerSource* source);  // returns once the source is no longer being mixed

    // Renders `frames` interleaved stereo 16-bit frames.
    void render(std::int16_t* out, int frames);

private:
    std::mutex mutex_;
    std::vector<MixerSource*> sources_;
    std::vector<float> scratch_;
};
