#include "sound/Mixer.h"
#include <algorithm>
#include <cmath>

void Mixer::addSource(MixerSource* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (std::find(sources_.begin(), sources_.end(), source) == sources_.end()) sources_.push_back(source);
}

void Mixer::removeSource(MixerSource* source) {
    std::lock_guard<std::mutex> lock(mutex_);
    sources_.erase(std::remove(sources_.begin(), sources_.end(), source), sources_.end());
}

void Mixer::render(std::int16_t* out, int frames) { renderBlock(out, frames, nullptr); }

void Mixer::renderAt(std::int16_t* out, int frames, double startMs) { renderBlock(out, frames, &startMs); }

void Mixer::renderLive(std::int16_t* out, int frames, double nowMs) {
    const double blockMs = frames * 1000.0 / kRate;
    double start = nowMs - blockMs - kLiveMarginMs;
    if (start < 0) start += 4294967296.0;
    renderAt(out, frames, start);
}

void Mixer::renderBlock(std::int16_t* out, int frames, const double* startMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    scratch_.assign(static_cast<std::size_t>(frames) * kChannels, 0.0f);
    for (MixerSource* s : sources_) {
        const float volume = s->volume();
        // Turned down: mixed on its own and scaled; still mixed when silent, so its voices and
        // music go on in time.
        float* into = scratch_.data();
        if (volume < 1.0f) {
            own_.assign(scratch_.size(), 0.0f);
            into = own_.data();
        }
        if (startMs) s->mixIntoAt(into, frames, *startMs);
        else s->mixInto(into, frames);
        if (volume < 1.0f)
            for (std::size_t i = 0; i < own_.size(); ++i) scratch_[i] += own_[i] * volume;
    }
    limit(frames);
    for (std::size_t i = 0; i < scratch_.size(); ++i) {
        const float v = std::clamp(scratch_[i], -1.0f, 1.0f);
        out[i] = static_cast<std::int16_t>(std::lrint(v * 32767.0f));
    }
}

void Mixer::limit(int frames) {
    float peak = 0.0f;
    for (float v : scratch_) peak = std::max(peak, std::fabs(v));
    // The most this block may be given: a gain that never exceeds it keeps every sample under the
    // ceiling, whatever the recovery does within the block.
    const float allowed = peak > kCeiling ? kCeiling / peak : 1.0f;
    if (allowed >= 1.0f && gain_ >= 1.0f) return;  // the quiet case: untouched
    static const float kRecovery = static_cast<float>(1.0 - std::exp(-1.0 / (kReleaseSeconds * kRate)));
    float* s = scratch_.data();
    for (int f = 0; f < frames; ++f, s += kChannels) {
        gain_ = std::min(allowed, gain_ + (1.0f - gain_) * kRecovery);
        for (int c = 0; c < kChannels; ++c) s[c] *= gain_;
    }
    // Within a hundredth of a decibel of the full level: back to untouched.
    if (gain_ > 0.999f && allowed >= 1.0f) gain_ = 1.0f;
}
