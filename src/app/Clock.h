#pragma once
#include <cstdint>

// The program's millisecond clock: unsigned 32 bits, wrapping. Frame pacing and the log read it;
// play logic never does.
std::uint32_t clockMs();

// A millisecond clock that can be replaced in tests.
class MsClock {
public:
    virtual ~MsClock() = default;
    virtual std::uint32_t now() = 0;
    virtual void sleep(std::uint32_t ms) = 0;
};

// The real clock: steady time and std::this_thread::sleep_for.
class SystemClock : public MsClock {
public:
    std::uint32_t now() override { return clockMs(); }
    void sleep(std::uint32_t ms) override;
};
