#pragma once
#include <cstdint>

// The result of one play: eight int32 fields, in this order in the replay file as well.
struct ScoreHeader {
    std::int32_t version = 0;    // replayVersionOf(gameMode) when recorded
    std::int32_t gameMode = 0;
    std::int32_t score = 0;      // items collected
    std::int32_t stages = 0;     // stage number at the end = number of stage traces stored
    std::int32_t lives = 0;
    std::int32_t valid = 0;      // 1 when written by the play scene
    std::int32_t elapsedMs = 0;  // wall-clock length of the play
    std::int32_t frames = 0;     // frames run by the play scene

    static constexpr int kFieldCount = 8;
    static constexpr int kBytes = kFieldCount * 4;

    friend bool operator==(const ScoreHeader&, const ScoreHeader&) = default;
};
