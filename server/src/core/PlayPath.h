#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Where the ship was on every frame of a play, and the item count there, as the server's
// re-simulation saw it: what happens in the play, whatever its file looks like. Two uploads whose
// input differs in ways the play never feels (a bit flipped where the ship cannot move, runs split
// or merged, a pause inserted, input cut a few frames short) have the same path, and a copy dressed
// with a small detour keeps nearly all of it.
//
// Frames spent in the pause menu are left out: the play stands still there, and a copy must not be
// told apart by how long it sat in the menu.
struct PlayPath {
    struct Point {
        std::int32_t x = 0, y = 0;  // the ship's place, pixels of the playfield
        std::int32_t items = 0;
        bool operator==(const Point& o) const { return x == o.x && y == o.y && items == o.items; }
    };
    std::vector<Point> points;  // one per frame of play

    // Stored and sent compactly: runs of equal steps of the ship, and the frames where the item
    // count changed (a few bytes for each change of direction).
    std::string encode() const;
    // Refuses anything encode would not have written, and paths of more than maxPoints frames (the
    // bytes come from a process that read a stranger's file).
    static std::optional<PlayPath> decode(std::string_view bytes, std::int64_t maxPoints);
    // encode as base64, one word for the check's verdict line; textOf: the same of bytes encode wrote.
    std::string toText() const;
    static std::string textOf(std::string_view bytes);
    static std::optional<PlayPath> fromText(std::string_view text, std::int64_t maxPoints);
};

// The measure of two plays' likeness: over the frames of the shorter, those on which at least one
// ship moved (frames where both stand still say nothing: two ships parked at the start are not the
// same play), and of those the frames where the ships are within kNear pixels on both axes.
struct PathLikeness {
    static constexpr std::int32_t kNear = 2;
    // A minute of play at least, of which ten seconds of movement, and 90 % of those together.
    static constexpr std::int32_t kMinFrames = 60 * 60;
    static constexpr std::int32_t kMinMoving = 60 * 10;
    static constexpr std::int32_t kSharePercent = 90;

    std::int32_t frames = 0;  // of the shorter play
    std::int32_t moving = 0;
    std::int32_t near = 0;

    static PathLikeness of(const PlayPath& a, const PlayPath& b);
    // Per mille of the moving frames that are near (0 when none moved).
    std::int32_t perMille() const { return moving > 0 ? static_cast<std::int32_t>(1000LL * near / moving) : 0; }
    // The two are one play.
    bool samePlay() const {
        return frames >= kMinFrames && moving >= kMinMoving && 100LL * near >= static_cast<std::int64_t>(kSharePercent) * moving;
    }
};

// The keys a path is found by, so that an upload is compared only with plays that share one: for
// every whole ten-second window of play, the cells (16 px squares) the ship stood in at each of its
// ten seconds, with the window's number, the mode and the version. A window in which the ship
// stayed in one cell gives none (everybody parks somewhere). A copy shares most of its original's
// windows; an honest play shares at most the few of an opening. Plays shorter than
// PathLikeness::kMinFrames are never the same as another and have no keys.
std::vector<std::int64_t> pathKeys(const PlayPath& path, std::int32_t mode, std::int32_t version);
// At most `most` of them, spread evenly over the play: enough to find a copy of any part of it,
// few enough to ask the database for at once.
std::vector<std::int64_t> lookupKeys(const std::vector<std::int64_t>& keys, std::size_t most = 64);
