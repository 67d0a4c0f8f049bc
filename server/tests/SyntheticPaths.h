#pragma once
// Paths made up without simulating, for the storage tests and the benchmark's 100,000 plays: the
// ship wanders at its own speed, holding each of the nine moves for a while, within the field.
#include <cstdint>
#include "core/PlayPath.h"

namespace synthetic {

inline PlayPath wander(std::uint64_t seed, int frames) {
    std::uint64_t state = seed * 0x9E3779B97F4A7C15ULL + 1;
    auto next = [&state](int n) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state >> 33) % static_cast<std::uint64_t>(n));
    };
    PlayPath path;
    PlayPath::Point p{240, 500, 0};
    int dx = 0, dy = 0, left = 0;
    for (int f = 0; f < frames; ++f) {
        if (left-- <= 0) {
            dx = next(3) - 1;
            dy = next(3) - 1;
            left = 8 + next(52);
        }
        p.x = p.x + 4 * dx < 16 ? 16 : p.x + 4 * dx > 464 ? 464 : p.x + 4 * dx;
        p.y = p.y + 4 * dy < 16 ? 16 : p.y + 4 * dy > 584 ? 584 : p.y + 4 * dy;
        if (next(90) == 0) p.items += 2;
        path.points.push_back(p);
    }
    return path;
}

// The same path one pixel aside for a few frames, and cut some frames short.
inline PlayPath dressed(PlayPath path, int at, int cut) {
    for (int f = at; f < at + 6 && f < static_cast<int>(path.points.size()); ++f) path.points[static_cast<std::size_t>(f)].x += 1;
    path.points.resize(path.points.size() - static_cast<std::size_t>(cut));
    return path;
}

}  // namespace synthetic
