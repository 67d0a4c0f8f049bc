#pragma once
#include <mutex>

namespace thread {

// A lock shared by the game's main thread and the music playback thread. Re-entrant on the
// owning thread, like the critical sections the music code was designed around.
class CriticalSection {
public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void enter() { mutex_.lock(); }
    void leave() { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

// Holds a CriticalSection for the life of a scope.
class Lock {
public:
    explicit Lock(CriticalSection& section) : section_(section) { section_.enter(); }
    ~Lock() { section_.leave(); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    CriticalSection& section_;
};

}  // namespace thread
