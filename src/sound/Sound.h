#pragma once
#include <cstdint>
#include <string>
#include "sound/SoundId.h"

class Log;
class Mixer;

// Eight effect slots, each one WAV file played as 22050 Hz, 8-bit, mono whatever its header
// says. One voice per slot: playing a sounding effect restarts it.
class Sound {
public:
    // mixer: not owned; null means no audio device (every effect is silent).
    Sound(Mixer* mixer, Log* log);
    virtual ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    virtual void update() {}
    void load(const std::string& path, int id);
    void play(int id, bool loop);
    void stop(int id);
    void unload(int id);
};
