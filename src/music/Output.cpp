#include "music/Output.h"
#include <fluidsynth.h>
#include "app/HeapRelease.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace midiplayer {

// Settings, chosen for this game's songs and costs:
// - 44100 Hz stereo, the mixer's format, so nothing is resampled;
// - 96 voices: a GM song of ours needs far fewer, and a cap keeps the audio thread's worst case low;
// - reverb and chorus on, at FluidSynth's own levels: the General MIDI sounds are made for them;
// - gain 0.35: the songs' loudest passages peak a few dB below full scale, leaving room for the
//   effects mixed on top;
// - samples loaded on demand (only the programs a song selects), which keeps the resident size
//   of the 140 MB soundfont small; loading it selects no instrument on any channel (a General MIDI
//   reset would load the piano on fifteen channels and a drum kit, several megabytes none of our
//   songs plays): a channel that gets a note before any program change takes the General MIDI
//   default then.
namespace {

constexpr int kChunkFrames = 1024;
constexpr std::size_t kMaxPending = 4096;

void quietLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        fluid_set_log_function(FLUID_ERR, nullptr, nullptr);  // failures reach the game log instead
        fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
        fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
        fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    });
}

}  // namespace

bool looksLikeSoundFont(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    char head[12];
    const bool ok = std::fread(head, 1, 12, f) == 12 && std::memcmp(head, "RIFF", 4) == 0 &&
                    std::memcmp(head + 8, "sfbk", 4) == 0;
    std::fclose(f);
    return ok;
}

Output::Output(Mixer* mixer, std::string soundFont, MsClock* clock)
    : mixer_(mixer),
      soundFont_(std::move(soundFont)),
      left_(kChunkFrames),
      right_(kChunkFrames),
      queue_(kQueueSize),
      clock_(clock != nullptr ? clock : &systemClock_),
      warmer_([this](int key, bool load) { pin(key, load); }) {}

Output::~Output() { close(); }

void Output::open() {
    close();
    if (mixer_ == nullptr || !looksLikeSoundFont(soundFont_))
        throw OutputException("midiOutOpen failed. deviceID=" + std::to_string(deviceId));
    quietLibrary();
    open_ = true;
    loadEnded_ = false;
    mixer_->addSource(this);
    loader_ = std::thread(&Output::load, this, soundFont_);
}

void Output::load(std::string path) {
    fluid_settings_t* settings = new_fluid_settings();
    fluid_synth_t* synth = nullptr;
    if (settings != nullptr) {
        fluid_settings_setnum(settings, "synth.sample-rate", Mixer::kRate);
        fluid_settings_setint(settings, "synth.polyphony", kPolyphony);
        fluid_settings_setnum(settings, "synth.gain", kGain);
        fluid_settings_setint(settings, "synth.reverb.active", 1);
        fluid_settings_setint(settings, "synth.chorus.active", 1);
        fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
        fluid_settings_setint(settings, "synth.cpu-cores", 1);
        synth = new_fluid_synth(settings);
    }
    if (synth != nullptr && (sfontId_ = fluid_synth_sfload(synth, path.c_str(), 0)) == FLUID_FAILED) {
        delete_fluid_synth(synth);
        synth = nullptr;
    }
    if (synth == nullptr) {
        if (settings != nullptr) delete_fluid_settings(settings);
        std::lock_guard<std::mutex> lock(failureMutex_);
        failure_ = "soundfont load failed: " + path;
    } else {
        settings_ = settings;
        std::lock_guard<std::mutex> lock(pendingMutex_);
        for (const auto& e : pending_) apply(synth, *e);
        pending_.clear();
        synth_.store(synth);
    }
    releaseFreeHeap();  // reading the soundfont's tables left megabytes of freed scratch behind
    loadEnded_ = true;
}

bool Output::waitReady(int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (open_ && !loadEnded_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return isReady();
}

std::string Output::takeFailure() {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return std::exchange(failure_, std::string());
}

void Output::close() {
    if (!open_) return;
    warmer_.stop();
    if (loader_.joinable()) loader_.join();
    mixer_->removeSource(this);  // returns once the audio thread no longer renders us
    open_ = false;
    if (fluid_synth_t* synth = synth_.exchange(nullptr)) delete_fluid_synth(synth);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
    settings_ = nullptr;
    std::lock_guard<std::mutex> lock(pendingMutex_);
    pending_.clear();
    head_ = 0;
    tail_ = 0;
    std::lock_guard<std::mutex> drainLock(drainMutex_);
    synthFrames_ = 0;
    lastTarget_ = 0;
    heldFrames_ = 0;
    std::fill(std::begin(bank_), std::end(bank_), 0);
}

void Output::onEvent(const Event& event) { enqueue(event, clock_->nowPrecise()); }

void Output::onEventDue(const Event& event, double dueMs) { enqueue(event, dueMs); }

void Output::enqueue(const Event& event, double at) {
    if (!open_) return;
    fluid_synth_t* synth = synth_.load();
    if (synth == nullptr) {
        std::lock_guard<std::mutex> lock(pendingMutex_);
        synth = synth_.load();
        if (synth == nullptr) {
            // Still loading: notes cannot sound yet; everything else sets up the channels.
            if (dynamic_cast<const EventNoteOn*>(&event) != nullptr || dynamic_cast<const EventNoteOff*>(&event) != nullptr)
                return;
            if (dynamic_cast<const EventShort*>(&event) == nullptr && dynamic_cast<const EventLong*>(&event) == nullptr)
                return;
            if (pending_.size() < kMaxPending) pending_.push_back(event.clone());
            return;
        }
    }
    Message m;
    if (const auto* s = dynamic_cast<const EventShort*>(&event)) {
        m.status = s->status;
        m.dataByte1 = s->dataByte1;
        m.dataByte2 = s->dataByte2;
    } else if (const auto* l = dynamic_cast<const EventLong*>(&event)) {
        if (l->length > kInlineBytes) {  // rare: a long message goes straight to the synthesizer
            flush();
            apply(synth, event);
            return;
        }
        m.isLong = 1;
        m.length = static_cast<std::uint16_t>(l->length);
        std::copy(l->data.begin(), l->data.begin() + l->length, m.bytes);
    } else {
        return;  // meta and tempo events are not sent
    }
    m.at = at;
    std::lock_guard<std::mutex> lock(sendMutex_);
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head - tail_.load(std::memory_order_acquire) >= kQueueSize) flush();  // nobody renders: apply now
    queue_[head % kQueueSize] = m;
    head_.store(head + 1, std::memory_order_release);
}

void Output::flush() {
    fluid_synth_t* synth = synth_.load();
    if (synth == nullptr) return;
    std::lock_guard<std::mutex> lock(drainMutex_);
    drain(synth);
}

void Output::drain(fluid_synth_t* synth) {
    const std::size_t head = head_.load(std::memory_order_acquire);
    std::size_t tail = tail_.load(std::memory_order_relaxed);
    for (; tail != head; ++tail) applyQueued(synth, queue_[tail % kQueueSize]);
    tail_.store(tail, std::memory_order_release);
}

void Output::applyQueued(fluid_synth_t* synth, const Message& m) {
    if (m.isLong) {
        applySysex(synth, m.bytes, m.length);
        return;
    }
    if ((m.status & 0xF0) == 0xB0 && m.dataByte1 == 0) bank_[m.status & 0x0F] = m.dataByte2;
    applyShort(synth, m.status, m.dataByte1, m.dataByte2);
}

// A program change whose instrument is being loaded in the background waits for it, up to a
// second (then it loads here, gap or not).
bool Output::mustWait(const Message& m) const {
    if (m.isLong || (m.status & 0xF0) != 0xC0 || heldFrames_ >= Mixer::kRate) return false;
    const int channel = m.status & 0x0F;
    const int key = PresetWarmer::key(channel == 9 ? 128 : bank_[channel], m.dataByte1);
    return warmer_.isRequested(key) && !warmer_.isWarm(key);
}

void Output::warm(const std::vector<int>& keys) {
    if (open_) warmer_.request(keys);
}

// Pinning loads the samples inside the synthesizer's lock; meanwhile the audio thread skips the
// music (the device still gets every block, with the effects), instead of waiting for the disk.
void Output::pin(int key, bool load) {
    if (!waitReady(30000)) return;
    fluid_synth_t* synth = synth_.load();
    if (synth == nullptr) return;
    const int bank = key < 128 ? 0 : 128;
    if (!load) {
        fluid_synth_unpin_preset(synth, sfontId_, bank, key % 128);
        return;
    }
    pinning_.store(true, std::memory_order_release);
    fluid_synth_pin_preset(synth, sfontId_, bank, key % 128);
    pinning_.store(false, std::memory_order_release);
}

void Output::applyShort(fluid_synth_t* synth, int status, int d1, int d2) {
    const int channel = status & 0x0F;
    switch (status & 0xF0) {
        case 0x80: fluid_synth_noteoff(synth, channel, d1); break;
        case 0x90:  // velocity 0 releases
            if (d2 > 0 && fluid_synth_get_channel_preset(synth, channel) == nullptr)
                fluid_synth_program_change(synth, channel, 0);  // piano, or the standard kit on channel 10
            fluid_synth_noteon(synth, channel, d1, d2);
            break;
        case 0xA0: fluid_synth_key_pressure(synth, channel, d1, d2); break;
        case 0xB0: fluid_synth_cc(synth, channel, d1, d2); break;
        case 0xC0: fluid_synth_program_change(synth, channel, d1); break;
        case 0xD0: fluid_synth_channel_pressure(synth, channel, d1); break;
        case 0xE0: fluid_synth_pitch_bend(synth, channel, (d1 & 0x7F) | (d2 & 0x7F) << 7); break;
        default: break;  // system common and real-time bytes mean nothing to the synthesizer
    }
}

// FluidSynth takes a system-exclusive message without its 0xF0 and 0xF7 framing; an empty one is
// not sent. It refuses nothing else, so this cannot fail.
void Output::applySysex(fluid_synth_t* synth, const std::uint8_t* data, std::size_t n) {
    if (n > 0 && data[0] == 0xF0) ++data, --n;
    if (n > 0 && data[n - 1] == 0xF7) --n;
    if (n == 0) return;
    fluid_synth_sysex(synth, reinterpret_cast<const char*>(data), static_cast<int>(n), nullptr, nullptr, nullptr, 0);
}

void Output::apply(fluid_synth_t* synth, const Event& event) {
    if (const auto* s = dynamic_cast<const EventShort*>(&event)) applyShort(synth, s->status, s->dataByte1, s->dataByte2);
    else if (const auto* l = dynamic_cast<const EventLong*>(&event)) applySysex(synth, l->data.data(), l->length);
}

void Output::mixInto(float* out, int frames) { mixBlock(out, frames, nullptr); }

void Output::mixIntoAt(float* out, int frames, double startMs) { mixBlock(out, frames, &startMs); }

void Output::mixBlock(float* out, int frames, const double* startMs) {
    fluid_synth_t* synth = synth_.load();
    if (synth == nullptr || frames <= 0 || pinning_.load(std::memory_order_acquire)) return;
    std::lock_guard<std::mutex> lock(drainMutex_);
    const std::uint64_t blockStart = synthFrames_;
    const std::uint64_t blockEnd = blockStart + static_cast<std::uint64_t>(frames);
    const std::size_t head = head_.load(std::memory_order_acquire);
    std::size_t tail = tail_.load(std::memory_order_relaxed);
    for (; tail != head; ++tail) {
        const Message& m = queue_[tail % kQueueSize];
        if (startMs != nullptr) {
            const double offset = msBetween(m.at, *startMs) * Mixer::kRate / 1000.0;
            // A moment more than a second ahead is on another time line (a clock that is not the
            // block's): it must not hold up the queue, so it is applied at once.
            const bool foreign = offset > Mixer::kRate;
            if (offset >= frames && !foreign) break;  // its moment comes in a later block
            std::uint64_t target = offset <= 0 || foreign ? blockStart : blockStart + static_cast<std::uint64_t>(std::llround(offset));
            // Messages keep their order even when a later one was stamped earlier.
            target = std::max(target, lastTarget_);
            lastTarget_ = target;
            const std::uint64_t boundary = (target + kSynthBlock / 2) / kSynthBlock * kSynthBlock;
            if (boundary > synthFrames_) {
                // Past the block's end only when the synthesizer has already rendered up to it.
                const std::uint64_t to = std::min(boundary, blockEnd);
                renderSynth(synth, out + 2 * (synthFrames_ - blockStart), to - synthFrames_);
            }
        }
        if (mustWait(m)) {
            heldFrames_ += frames;
            break;
        }
        heldFrames_ = 0;
        applyQueued(synth, m);
    }
    tail_.store(tail, std::memory_order_release);
    renderSynth(synth, out + 2 * (synthFrames_ - blockStart), blockEnd - synthFrames_);
}

void Output::renderSynth(fluid_synth_t* synth, float* out, std::uint64_t frames) {
    synthFrames_ += frames;
    while (frames > 0) {
        const int n = frames < kChunkFrames ? static_cast<int>(frames) : kChunkFrames;
        fluid_synth_write_float(synth, n, left_.data(), 0, 1, right_.data(), 0, 1);
        for (int i = 0; i < n; ++i) {
            out[2 * i] += left_[i];
            out[2 * i + 1] += right_[i];
        }
        out += 2 * n;
        frames -= static_cast<std::uint64_t>(n);
    }
}

}  // namespace midiplayer
