#pragma once
#include <functional>
#include <memory>
#include <string>

class Log;
class Mixer;

// The background music as the scenes use it: ten song slots, one of them playing and looping.
// The game's implementation synthesises the songs into the mix (the music library); headless
// programs (tests, the replay tool, the ranking server) get the silent one, so the simulation
// links no synthesiser.
class MusicService {
public:
    static constexpr int kSlots = 10;

    virtual ~MusicService() = default;
    // Once per frame, on the main thread.
    virtual void update() = 0;
    // Reads a Standard MIDI File into slot id (0..9); false when it cannot.
    virtual bool load(const std::string& path, int id) = 0;
    // Plays slot id from its start, looping; ids outside 0..9 do nothing.
    virtual void play(int id) = 0;
    virtual void stop() = 0;
    // The slot last played, -1 before any.
    virtual int currentId() const = 0;
    // The music's volume in percent (0..100) of its full level; silent music has none to set.
    virtual void setVolume(int percent) {}
};

// Remembers what would play and sounds nothing; reads no file.
class SilentMusic : public MusicService {
public:
    void update() override {}
    bool load(const std::string&, int id) override { return id >= 0 && id < kSlots; }
    void play(int id) override {
        if (id >= 0 && id < kSlots) currentId_ = id;
    }
    void stop() override {}
    int currentId() const override { return currentId_; }

private:
    int currentId_ = -1;
};

// Builds the music service of a service hub; mixer is null when there is no audio device.
using MusicFactory = std::function<std::unique_ptr<MusicService>(Log* log, Mixer* mixer)>;
