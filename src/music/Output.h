#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "music/Player.h"
#include "sound/Mixer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace midiplayer {

// The built-in synthesizer: FluidSynth with a General MIDI soundfont, mixed into the game's one
// audio device. Short and system-exclusive messages from the player go to the synthesizer.
//
// `open` checks what can be checked at once (an audio device, a readable soundfont) and loads the
// soundfont on a thread of its own, so the game's first frames do not wait for it. Until it is
// loaded the synthesizer is silent: notes are dropped and the other messages (programs,
// controllers, system exclusive) are kept and applied, in order, as soon as it is ready.
class Output : public OutputObserver, public MixerSource {
public:
    class OutputException : public MyException {
    public:
        using MyException::MyException;
        virtual std::string label() const { return "OutputException"; }
    };

    static constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/default-GM.sf2";
    // Synthesizer settings (see the notes in Output.cpp).
    static constexpr int kPolyphony = 96;
    static constexpr double kGain = 0.35;

    // mixer: the game's mix, null when there is no audio device. Neither is owned.
    explicit Output(Mixer* mixer, std::string soundFont = kDefaultSoundFont);
    ~Output() override;
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Closes, then opens. Throws OutputException "midiOutOpen failed. deviceID=<id>" when there is
    // no audio device or no readable soundfont; the output then stays closed.
    void open();
    void close();
    bool isOpen() const { return open_; }
    // The soundfont is loaded and the synthesizer sounds.
    bool isReady() const { return synth_.load() != nullptr; }
    // Waits up to timeoutMs for the soundfont load to end; true when ready.
    bool waitReady(int timeoutMs);
    // Why the soundfont could not be loaded, once (empty otherwise).
    std::string takeFailure();
    // The synthesizer once ready (for checks of its state), else null.
    fluid_synth_t* synth() const { return synth_.load(); }

    void onEvent(const Event& event) override;
    void mixInto(float* out, int frames) override;

    std::int32_t deviceId = -1;

private:
    void load(std::string path);
    void apply(fluid_synth_t* synth, const Event& event);

    Mixer* mixer_;
    std::string soundFont_;
    std::atomic<bool> open_{false};
    fluid_settings_t* settings_ = nullptr;
    std::atomic<fluid_synth_t*> synth_{nullptr};
    std::thread loader_;
    std::mutex pendingMutex_;                       // the messages kept while loading
    std::vector<std::unique_ptr<Event>> pending_;
    std::atomic<bool> loadEnded_{false};
    std::mutex failureMutex_;
    std::string failure_;
    std::vector<float> left_, right_;               // render scratch, used on the audio thread
};

}  // namespace midiplayer
