#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

// At most `events` events per `window` for each key (an address, a name), as a leaky bucket: a
// key may spend its whole allowance at once, then gets one event back every window / events. Each
// key costs one number, the moment its bucket is empty again, so the table stays small: a key
// whose bucket is empty is forgotten, and when `maxKeys` are held the key closest to empty is
// dropped to make room (under a flood of fresh keys these are the flood's own, so a key that has
// spent its allowance keeps its record). Times are milliseconds on a clock that only moves
// forward; the caller gives them, so tests need no clock. events == 0: no limit at all.
class RateLimiter {
public:
    RateLimiter(std::uint32_t events, std::int64_t windowMs, std::size_t maxKeys);

    // Counts an event when the key has room for it; false (nothing counted) when it has none.
    bool take(const std::string& key, std::int64_t nowMs);
    // Whether an event would be refused now, counting nothing.
    bool exhausted(const std::string& key, std::int64_t nowMs);
    // Counts an event whether or not the key has room (the count is capped at the allowance).
    void add(const std::string& key, std::int64_t nowMs);
    // Milliseconds until the key has room for one more event (0: it has now).
    std::int64_t waitMs(const std::string& key, std::int64_t nowMs);
    std::size_t keys();
    bool limited() const { return events_ > 0; }

private:
    std::int64_t emptyAt(const std::string& key) const;  // under mutex_
    void set(const std::string& key, std::int64_t emptyAt, std::int64_t nowMs);
    void forgetEmpty(std::int64_t nowMs);

    std::uint32_t events_;
    std::int64_t interval_;  // what one event adds
    std::int64_t capacity_;  // the bucket's depth: events * interval
    std::size_t maxKeys_;
    std::mutex mutex_;
    std::map<std::string, std::int64_t> emptyAt_;
    std::set<std::pair<std::int64_t, std::string>> byEmptyAt_;  // the same, soonest empty first
};
