#include "sound/EffectVoices.h"
#include <utility>

namespace {
bool validId(int id) { return id >= 0 && id < kSoundSlots; }
float level(std::uint8_t sample) { return (static_cast<int>(sample) - 128) / 128.0f; }
}  // namespace

void EffectVoices::set(int id, std::shared_ptr<const Samples> samples) {
    if (!validId(id)) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        Voice& v = voices_[id];
        std::swap(v.samples, samples);
        v.position = 0;
        v.playing = false;
        v.loop = false;
    }
    // The old samples, if they were the last reference, are freed here, outside the lock.
}

bool EffectVoices::has(int id) const {
    if (!validId(id)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return voices_[id].samples != nullptr;
}

void EffectVoices::play(int id, bool loop) {
    if (!validId(id)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Voice& v = voices_[id];
    if (!v.samples || v.samples->empty()) return;
    v.position = 0;
    v.playing = true;
    v.loop = loop;
}

void EffectVoices::stop(int id) {
    if (!validId(id)) return;
    std::lock_guard<std::mutex> lock(mutex_);
    voices_[id].playing = false;
}

bool EffectVoices::playing(int id) const {
    if (!validId(id)) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    return voices_[id].playing;
}

void EffectVoices::mixInto(float* out, int frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Voice& v : voices_)
        if (v.playing) mixVoice(v, out, frames);
}

void EffectVoices::mixVoice(Voice& v, float* out, int frames) {
    const Samples& s = *v.samples;
    const std::uint64_t count = s.size();
    const std::uint64_t length = count * 2;  // in mixer frames; never 0, play() sees to that
    for (int f = 0; f < frames; ++f) {
        const std::uint64_t k = v.position / 2;
        float value = level(s[k]);
        if (v.position & 1u) {
            // Half-way to the next sample; past the last one a loop goes on to the first, a
            // one-shot holds the last.
            const std::uint64_t next = k + 1 < count ? k + 1 : (v.loop ? 0 : k);
            value = (value + level(s[next])) * 0.5f;
        }
        out[2 * f] += value;
        out[2 * f + 1] += value;
        if (++v.position >= length) {
            if (!v.loop) {
                v.playing = false;
                return;
            }
            v.position = 0;
        }
    }
}
