#include "http/RateLimiter.h"
#include <algorithm>

RateLimiter::RateLimiter(std::uint32_t events, std::int64_t windowMs, std::size_t maxKeys)
    : events_(events),
      interval_(events ? std::max<std::int64_t>(1, (windowMs + events - 1) / events) : 0),
      capacity_(interval_ * events),
      maxKeys_(std::max<std::size_t>(1, maxKeys)) {}

std::int64_t RateLimiter::emptyAt(const std::string& key) const {
    const auto it = emptyAt_.find(key);
    return it == emptyAt_.end() ? 0 : it->second;
}

void RateLimiter::forgetEmpty(std::int64_t nowMs) {
    while (!byEmptyAt_.empty() && byEmptyAt_.begin()->first <= nowMs) {
        emptyAt_.erase(byEmptyAt_.begin()->second);
        byEmptyAt_.erase(byEmptyAt_.begin());
    }
}

void RateLimiter::set(const std::string& key, std::int64_t at, std::int64_t nowMs) {
    forgetEmpty(nowMs);
    if (const auto it = emptyAt_.find(key); it != emptyAt_.end()) {
        byEmptyAt_.erase({it->second, key});
        it->second = at;
    } else {
        // Full: the key closest to empty goes; it restrains least.
        if (emptyAt_.size() >= maxKeys_) {
            emptyAt_.erase(byEmptyAt_.begin()->second);
            byEmptyAt_.erase(byEmptyAt_.begin());
        }
        emptyAt_.emplace(key, at);
    }
    byEmptyAt_.emplace(at, key);
}

bool RateLimiter::take(const std::string& key, std::int64_t nowMs) {
    if (!events_) return true;
    std::lock_guard lock(mutex_);
    const std::int64_t level = std::max<std::int64_t>(0, emptyAt(key) - nowMs);
    if (level + interval_ > capacity_) return false;
    set(key, nowMs + level + interval_, nowMs);
    return true;
}

bool RateLimiter::exhausted(const std::string& key, std::int64_t nowMs) { return waitMs(key, nowMs) > 0; }

void RateLimiter::add(const std::string& key, std::int64_t nowMs) {
    if (!events_) return;
    std::lock_guard lock(mutex_);
    const std::int64_t level = std::max<std::int64_t>(0, emptyAt(key) - nowMs);
    set(key, nowMs + std::min(capacity_, level + interval_), nowMs);
}

std::int64_t RateLimiter::waitMs(const std::string& key, std::int64_t nowMs) {
    if (!events_) return 0;
    std::lock_guard lock(mutex_);
    const std::int64_t level = std::max<std::int64_t>(0, emptyAt(key) - nowMs);
    return std::max<std::int64_t>(0, level + interval_ - capacity_);
}

std::size_t RateLimiter::keys() {
    std::lock_guard lock(mutex_);
    return emptyAt_.size();
}
