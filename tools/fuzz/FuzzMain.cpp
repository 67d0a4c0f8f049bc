// One libFuzzer target per reader of outside bytes; FUZZ_TARGET names the entry point of
// tests/fuzz/FuzzEntries.cpp that it drives. Built and run by scripts/fuzz.sh.
#include <cstdio>
#include <cstdlib>
#include "FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Target* target = fuzz::findTarget(FUZZ_TARGET);
    if (target == nullptr) std::abort();
    const std::string broken = target->run(data, size);
    if (!broken.empty()) {
        std::fprintf(stderr, "fuzz_%s: %s\n", FUZZ_TARGET, broken.c_str());
        std::abort();
    }
    return 0;
}
