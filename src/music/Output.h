#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "music/Player.h"
#include "music/PresetWarmer.h"
#include "sound/Mixer.h"

typedef struct _fluid_hashtable_t fluid_settings_t;
typedef struct _fluid_synth_t fluid_synth_t;

namespace midiplayer {

// A readable file that starts as a SoundFont 2 does ("RIFF" .... "sfbk").
bool looksLikeSoundFont(const std::string& path);

// The built-in synthesizer: FluidSynth with a General MIDI soundfont, mixed into the game's one
// audio device. Short and system-exclusive messages from the player go to the synthesizer.
//
// Messages do not wait for the synthesizer: a send puts them in a queue that the audio thread
// empties while it renders each block, so the playback thread never waits while a block is being
// rendered. Each message carries its moment (when the player says it was due, else when it was
// sent); a block rendered for a known stretch of time renders up to the message's frame, applies
// it and renders on, so notes keep their spacing whatever the block size. The synthesizer starts
// voices every 64 frames (1.45 ms): a message takes the boundary nearest its frame.
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
    // clock: the time line of the messages' moments (the player's clock); null = the system clock.
    explicit Output(Mixer* mixer, std::string soundFont = kDefaultSoundFont, MsClock* clock = nullptr);
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
    void onEventDue(const Event& event, double dueMs) override;
    // Applies everything queued at the block's start.
    void mixInto(float* out, int frames) override;
    // Applies each queued message at its moment within the block; later ones wait for their block.
    void mixIntoAt(float* out, int frames, double startMs) override;
    // Hands the queued messages to the synthesizer now (the audio thread does so before each block).
    void flush();
    // Main thread: loads the samples of these instruments (PresetWarmer keys) in the background,
    // for a song about to be played; its program changes wait for them rather than loading them
    // on the audio thread.
    void warm(const std::vector<int>& keys);
    PresetWarmer& warmer() { return warmer_; }

    std::int32_t deviceId = -1;

private:
    // One queued message: a short message, or a system-exclusive one of up to kInlineBytes.
    static constexpr std::size_t kInlineBytes = 120;
    struct Message {
        std::uint8_t status = 0, dataByte1 = 0, dataByte2 = 0;
        std::uint8_t isLong = 0;
        std::uint16_t length = 0;
        std::uint8_t bytes[kInlineBytes];
        double at = 0;  // the message's moment on the clock
    };
    // The synthesizer's own block: a voice starts on a multiple of it.
    static constexpr std::uint64_t kSynthBlock = 64;
    static constexpr std::size_t kQueueSize = 1024;

    void load(std::string path);
    void apply(fluid_synth_t* synth, const Event& event);
    static void applyShort(fluid_synth_t* synth, int status, int d1, int d2);
    static void applySysex(fluid_synth_t* synth, const std::uint8_t* data, std::size_t n);
    void enqueue(const Event& event, double at);
    void drain(fluid_synth_t* synth);  // under drainMutex_
    void pin(int key, bool load);       // on the warming thread
    void applyQueued(fluid_synth_t* synth, const Message& m);  // under drainMutex_
    bool mustWait(const Message& m) const;                   // under drainMutex_
    void mixBlock(float* out, int frames, const double* startMs);
    void renderSynth(fluid_synth_t* synth, float* out, std::uint64_t frames);  // under drainMutex_

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
    std::vector<Message> queue_;                    // ring: written under sendMutex_, read under drainMutex_
    std::atomic<std::size_t> head_{0}, tail_{0};
    std::mutex sendMutex_, drainMutex_;
    SystemClock systemClock_;
    MsClock* clock_;
    std::uint64_t synthFrames_ = 0;  // frames the synthesizer has rendered; under drainMutex_
    std::uint64_t lastTarget_ = 0;   // frame of the last timed message; under drainMutex_
    std::uint8_t bank_[16] = {};     // each channel's bank select; under drainMutex_
    int heldFrames_ = 0;             // how long a program change has waited; under drainMutex_
    int sfontId_ = -1;                   // set before the synthesizer is published
    std::atomic<bool> pinning_{false};   // the warming thread is loading samples: leave the synthesizer alone
    PresetWarmer warmer_;
};

}  // namespace midiplayer
