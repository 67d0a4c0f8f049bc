#include "music/OfflineRender.h"
#include <algorithm>
#include <chrono>
#include <cstdio>
#include "music/BGM.h"
#include "music/Score.h"
#include "sound/Mixer.h"

namespace midiplayer {

std::uint32_t LockstepClock::now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return time_;
}

void LockstepClock::sleep(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    wakeAt_ = time_ + ms;
    asleep_ = true;
    cv_.notify_all();
    cv_.wait(lock, [&] { return released_ || static_cast<std::int32_t>(time_ - wakeAt_) >= 0; });
    asleep_ = false;
}

void LockstepClock::watch(std::function<bool()> running) {
    std::lock_guard<std::mutex> lock(mutex_);
    running_ = std::move(running);
}

template <class Done>
void LockstepClock::waitUntil(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds limit, Done done) {
    // An ending thread does not wake us, so whether it still runs is looked at every 10 ms.
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (running_ && !running_()) return;
        const auto next = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(10));
        if (cv_.wait_until(lock, next, done)) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
    }
}

void LockstepClock::advance(std::uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    time_ += ms;
    cv_.notify_all();
    // caught up: asleep again, waiting for a later time
    waitUntil(lock, std::chrono::seconds(1),
              [&] { return released_ || (asleep_ && static_cast<std::int32_t>(wakeAt_ - time_) > 0); });
}

void LockstepClock::waitAsleep() {
    std::unique_lock<std::mutex> lock(mutex_);
    waitUntil(lock, std::chrono::seconds(5), [&] { return released_ || asleep_; });
}

void LockstepClock::release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    cv_.notify_all();
}

std::vector<std::int16_t> renderSong(const std::string& path, double seconds, const std::string& soundFont) {
    // Written so that a NaN is refused too.
    if (!(seconds > 0.0 && seconds <= kMaxRenderSeconds)) return {};
    Mixer mixer;
    LockstepClock clock;
    std::vector<std::int16_t> pcm;
    {
        BGM bgm(nullptr, &mixer, soundFont, &clock);
        if (!bgm.output().isOpen() || !bgm.output().waitReady(30000) || !bgm.load(path, 0)) {
            clock.release();
            return pcm;
        }
        // The instruments are loaded before the song starts, so no program change waits for
        // them: the render does not depend on how fast the machine loads.
        bgm.prepare(0);
        bgm.output().warmer().waitIdle(30000);
        bgm.play(0);
        clock.watch([&bgm] { return bgm.player().isPlaying(); });
        clock.waitAsleep();  // the song starts at time 0, however late its thread gets going
        const int totalMs = static_cast<int>(seconds * 1000);
        pcm.reserve(static_cast<std::size_t>(seconds * Mixer::kRate + 2) * 2);
        // Blocks of 10 ms (441 frames): the clock moves to a block's end first, so every message
        // due inside it is waiting, stamped with its moment, when the block is rendered.
        constexpr int kBlockMs = 10;
        std::int16_t block[2 * 441];
        for (int ms = 0; ms < totalMs; ms += kBlockMs) {
            const int step = std::min(kBlockMs, totalMs - ms);
            const int frames = static_cast<int>((std::int64_t(ms) + step) * Mixer::kRate / 1000 - std::int64_t(ms) * Mixer::kRate / 1000);
            clock.advance(static_cast<std::uint32_t>(step));
            mixer.renderAt(block, frames, ms);
            pcm.insert(pcm.end(), block, block + 2 * frames);
        }
        clock.release();
        bgm.stop();
    }
    return pcm;
}

double songLengthMs(const std::string& path) {
    Score score;
    try {
        score.load(path);
    } catch (const Score::ScoreException&) {
        return -1;
    }
    const double division = score.getDivision();
    double ms = 0;
    std::int32_t tick = 0;
    double tempo = 500000;  // a file without a tempo plays at 120 beats a minute
    for (const auto& event : score.list()) {
        ms += (event->time - tick) * tempo / 1000.0 / division;
        tick = event->time;
        if (const auto* t = dynamic_cast<const EventTempo*>(event.get())) tempo = std::max<std::uint32_t>(t->tempo, 1);
    }
    return ms;
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& pcm) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    auto u32 = [&](std::uint32_t v) { std::fwrite(&v, 4, 1, f); };  // little-endian machine
    auto u16 = [&](std::uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const std::uint32_t bytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1);
    u16(2);
    u32(Mixer::kRate);
    u32(Mixer::kRate * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    const bool ok = std::fwrite(pcm.data(), 2, pcm.size(), f) == pcm.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace midiplayer
