#pragma once
#include <array>
#include <string>
#include "app/MusicService.h"
#include "music/Output.h"
#include "music/Player.h"
#include "music/Score.h"

class Log;
class Mixer;
class MsClock;

// The music service: ten song slots, one player, one synthesizer output mixed into the game's
// audio. Every operation runs on the game's main thread.
class BGM : public MusicService {
public:
    // mixer: the game's mix, null when there is no audio device (the game then plays on without
    // music). soundFont and clock are for tests and tools.
    BGM(Log* log, Mixer* mixer, std::string soundFont = midiplayer::Output::kDefaultSoundFont,
        MsClock* clock = nullptr);
    ~BGM() override;
    BGM(const BGM&) = delete;
    BGM& operator=(const BGM&) = delete;

    // Once per frame: writes to the log why the music stopped by itself or could not sound.
    void update() override;
    // Reads a Standard MIDI File into slot id (0..9); false (logged "MIDIロード失敗") when it
    // cannot be read. Loading the slot last played stops the music first.
    bool load(const std::string& path, int id) override;
    // Plays slot id from its start, looping; ids outside 0..9 do nothing.
    void play(int id) override;
    // Loads the instruments of slot id in the background and lets those of other songs go; play
    // does it itself (the song's program changes then wait for them).
    void prepare(int id);
    void stop() override;

    // The music's volume in percent (0..100) of its full level.
    void setVolume(int percent) override { output_.setVolume(percent); }

    midiplayer::Player& player() { return player_; }
    midiplayer::Output& output() { return output_; }
    const midiplayer::Score& score(int id) const { return scores_.at(id); }
    int currentId() const override { return currentId_; }

private:
    Log* log_;
    midiplayer::Player player_;
    midiplayer::Output output_;
    std::array<midiplayer::Score, kSlots> scores_;
    int currentId_ = -1;
};
