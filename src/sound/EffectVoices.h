#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "sound/Mixer.h"
#include "sound/SoundId.h"

// The eight effect voices as one source of the mix: one voice per slot, each playing its samples
// as 22050 Hz 8-bit unsigned mono, doubled to the mixer's 44100 Hz with linear interpolation and
// sent to both channels at full level.
//
// The main thread sets, starts and stops voices; the audio thread mixes them. Both hold the lock
// only for a moment: the main thread to swap a pointer or a flag, the audio thread for one buffer.
class EffectVoices : public MixerSource {
public:
    using Samples = std::vector<std::uint8_t>;

    // Gives slot `id` new samples (null empties it) and silences it.
    void set(int id, std::shared_ptr<const Samples> samples);
    bool has(int id) const;
    // From the first sample again, looping or not. Nothing for an empty slot.
    void play(int id, bool loop);
    // Silent; the position stays where it stopped.
    void stop(int id);
    bool playing(int id) const;

    void mixInto(float* out, int frames) override;

private:
    struct Voice {
        std::shared_ptr<const Samples> samples;
        // In mixer frames: two per sample.
        std::uint64_t position = 0;
        bool playing = false;
        bool loop = false;
    };
    static void mixVoice(Voice& voice, float* out, int frames);

    mutable std::mutex mutex_;
    Voice voices_[kSoundSlots];
};
