#pragma once
#include <cstdint>

// The program's millisecond clock: unsigned 32 bits, wrapping. Frame pacing and the log read it;
// play logic never does.
std::uint32_t clockMs();
// The same clock to the microsecond, as milliseconds in [0, 2^32): clockMs() is its whole part.
double clockMsPrecise();
// a - b for two readings of a wrapping millisecond clock, in [-2^31, 2^31).
double msBetween(double a, double b);

// A millisecond clock that can be replaced in tests.
class MsClock {
public:
    virtual ~MsClock() = default;
    virtual std::uint32_t now() = 0;
    // now() with its fraction, for stamping sound messages to the sample; same time line.
    virtual double nowPrecise() { return now(); }
    virtual void sleep(std::uint32_t ms) = 0;
};

// The real clock: steady time and std::this_thread::sleep_for.
class SystemClock : public MsClock {
public:
    std::uint32_t now() override { return clockMs(); }
    double nowPrecise() override { return clockMsPrecise(); }
    void sleep(std::uint32_t ms) override;
};
