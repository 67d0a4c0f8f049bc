#include "input/InputTrace.h"

std::uint16_t InputRun::buttonBits() const {
    std::uint16_t bits = 0;
    for (int b = 0; b < kButtonCount; ++b)
        if (state[b]) bits = static_cast<std::uint16_t>(bits | (1u << b));
    return bits;
}

InputRun InputRun::fromBits(std::int32_t repeat, std::uint16_t bits) {
    InputRun run;
    run.repeat = repeat;
    // Bits 8..15 name no button and are ignored.
    for (int b = 0; b < kButtonCount; ++b) run.state[b] = (bits >> b) & 1u;
    return run;
}

bool InputRun::sameState(const InputRun& other) const {
    for (int b = 0; b < kButtonCount; ++b)
        if (state[b] != other.state[b]) return false;
    return true;
}

std::int64_t InputTrace::polls() const {
    std::int64_t n = 0;
    for (const InputRun& run : runs_) n += static_cast<std::int64_t>(run.repeat) + 1;
    return n;
}
