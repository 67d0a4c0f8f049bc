#pragma once
#include <string>

class Log;
class Mixer;

// The music service: ten song slots, one player, one synthesizer output mixed into the game's
// audio. (Placeholder until the MIDI player lands: loads and plays nothing.)
class BGM {
public:
    BGM(Log* log, Mixer* mixer) : log_(log), mixer_(mixer) {}
    virtual ~BGM() = default;
    virtual void update() {}
    virtual bool load(const std::string& path, int id) { return id >= 0 && id <= 9 && !path.empty(); }
    virtual void play(int id) {}
    virtual void stop() {}

private:
    Log* log_;
    Mixer* mixer_;
};
