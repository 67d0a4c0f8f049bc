#pragma once
#include <cstdint>
#include <cstddef>
#include <vector>
#include "input/InputButton.h"

// One stretch of polls during which the play set's held flags did not change: the first poll and
// `repeat` further ones.
struct InputRun {
    std::int32_t repeat = 0;
    bool state[kButtonCount] = {};

    // The held flags as a bit set, bit b for button b (the replay file's form).
    std::uint16_t buttonBits() const;
    static InputRun fromBits(std::int32_t repeat, std::uint16_t bits);

    bool sameState(const InputRun& other) const;
    friend bool operator==(const InputRun&, const InputRun&) = default;
};

// The play-set buttons of one stage, as runs of equal states in time order. Passed by value.
class InputTrace {
public:
    void clear() { runs_.clear(); }
    void append(const InputRun& run) { runs_.push_back(run); }
    bool empty() const { return runs_.empty(); }
    std::size_t size() const { return runs_.size(); }
    const InputRun& operator[](std::size_t i) const { return runs_[i]; }
    const std::vector<InputRun>& runs() const { return runs_; }

    // The number of polls the trace covers (each run covers repeat + 1).
    std::int64_t polls() const;

    friend bool operator==(const InputTrace&, const InputTrace&) = default;

private:
    std::vector<InputRun> runs_;
};
