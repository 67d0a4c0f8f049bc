#pragma once
#include <cstdint>

// The one random generator of a play. It reproduces the Microsoft C runtime's rand/srand
// sequence exactly, so a recording made by any build replays alike on every other build.
// Play logic calls only these, never the C library's rand.
namespace playrand {

constexpr int kRandMax = 32767;

void srand(std::uint32_t seed);
int rand();

// The state, for tests and tools that must save and restore it.
std::uint32_t state();
void setState(std::uint32_t state);

}  // namespace playrand
