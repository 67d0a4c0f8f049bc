#pragma once
#include <cstdint>
#include <string>
#include "sound/EffectVoices.h"
#include "sound/SoundId.h"

class Log;
class Mixer;

// Eight effect slots, each one WAV file played as 22050 Hz, 8-bit, mono whatever its header
// says. One voice per slot: playing a sounding effect restarts it.
//
// Nothing here ends the game: without an audio device every effect is silent, and a file that
// cannot be read is logged and leaves its slot empty.
class Sound {
public:
    // mixer: not owned, must outlive this; null means no audio device (every effect is silent,
    // loading still reads, checks and logs).
    Sound(Mixer* mixer, Log* log);
    virtual ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // The per-frame hook; effects need nothing per frame.
    virtual void update() {}
    void load(const std::string& path, int id);
    // From the beginning, looping or not; nothing for an empty slot.
    void play(int id, bool loop);
    // Silences the slot; nothing for an empty or silent slot.
    void stop(int id);
    // Empties the slot.
    void unload(int id);

    bool isLoaded(int id) const { return voices_.has(id); }
    // The effects' volume in percent (0..100) of their full level.
    void setVolume(int percent) { voices_.setVolume(percent); }

private:
    Mixer* mixer_;
    Log* log_;
    EffectVoices voices_;
};
