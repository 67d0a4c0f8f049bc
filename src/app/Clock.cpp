#include "app/Clock.h"
#include <chrono>
#include <cmath>
#include <thread>

std::uint32_t clockMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

double clockMsPrecise() {
    using namespace std::chrono;
    const std::int64_t us = duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
    constexpr std::int64_t kWrapUs = (std::int64_t(1) << 32) * 1000;
    return static_cast<double>(us % kWrapUs) / 1000.0;
}

double msBetween(double a, double b) {
    constexpr double kWrap = 4294967296.0;
    double d = std::fmod(a - b, kWrap);
    if (d >= kWrap / 2) d -= kWrap;
    if (d < -kWrap / 2) d += kWrap;
    return d;
}

void SystemClock::sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
