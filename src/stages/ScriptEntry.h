#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>
#include "app/Fixed16.h"

// One timed spawn of a stage script. delay counts frames after the previous entry was spawned;
// mark is 1 on boss entries and read by nobody; kind selects what the play scene builds.
struct ScriptEntry {
    std::int32_t delay = 0;
    std::int32_t mark = 0;
    std::int32_t kind = 0;
    Fixed16 x = 0;
    Fixed16 y = 0;
};

using Script = std::vector<ScriptEntry>;

// The scripts are written in whole pixels; this turns a row of such a table into an entry.
struct ScriptRow {
    std::int32_t delay, mark, kind, x, y;
    ScriptEntry entry() const { return {delay, mark, kind, toFixed(x), toFixed(y)}; }
};

// Script tables one after the other, for a version that shares parts of another's.
template <std::size_t... N>
constexpr std::array<ScriptRow, (N + ...)> JoinRows(const ScriptRow (&... parts)[N]) {
    std::array<ScriptRow, (N + ...)> out{};
    std::size_t n = 0;
    auto append = [&](const auto& part) {
        for (const ScriptRow& row : part) out[n++] = row;
    };
    (append(parts), ...);
    return out;
}

// What a spawn entry builds. Kinds outside this list build nothing.
enum SpawnKind : std::int32_t {
    SpawnPot = 1,
    SpawnEnemy1 = 2,
    SpawnUmi = 3,
    SpawnUmiReversed = 4,
    SpawnJelly = 5,
    SpawnEmptyPortal = 6,
    SpawnBoss = 7,
    SpawnEnemy2 = 8,
};
