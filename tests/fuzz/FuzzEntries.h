#pragma once
// The readers of outside bytes, each driven from one buffer of bytes the way the game meets them:
// the same entry points (mostly a file path), then checks of what a successful read promises.
// Shared by the libFuzzer targets (tools/fuzz) and the unit test that replays the kept corpus
// (tests/fuzz/<target>/) with the normal compiler.
#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

// One reader: runs the bytes through it and returns "" or a description of a broken promise
// (a crash, hang or leak shows up on its own).
using Entry = std::string (*)(const std::uint8_t* data, std::size_t size);

struct Target {
    const char* name;  // also the corpus folder tests/fuzz/<name>/ and the program fuzz_<name>
    Entry run;
};

// Terminated by an entry whose name is null.
extern const Target kTargets[];

// The target of that name, or null.
const Target* findTarget(const std::string& name);

}  // namespace fuzz
