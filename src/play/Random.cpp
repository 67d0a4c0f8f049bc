#include "play/Random.h"

namespace playrand {
namespace {
std::uint32_t holdrand = 1;
}

void srand(std::uint32_t seed) { holdrand = seed; }

int rand() {
    holdrand = holdrand * 214013u + 2531011u;
    return static_cast<int>((holdrand >> 16) & 0x7FFFu);
}

std::uint32_t state() { return holdrand; }
void setState(std::uint32_t s) { holdrand = s; }

}  // namespace playrand
