#pragma once
// The plans of the honest plays the path comparison is tried on (record_path_plays.cpp records
// them into server/tests/data/paths/): what each autopilot heads for, in which mode, and when it
// quits.
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>
#include "input/InputButton.h"
#include "input/InputTrace.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace pathplays {

constexpr int kPlays = 56;
// Plays from kFirstPair on come in pairs with the same opening.
constexpr int kFirstPair = 30;
constexpr int kOpeningFrames = 20 * 60;

struct Pattern {
    int amplitude, period, band, phase;
};

struct Plan {
    std::int32_t mode;
    Pattern opening, rest;  // the pattern of the first kOpeningFrames, and after them
    int quitAt;             // the frame it opens the pause menu to quit on
    int sharesOpeningWith;  // the other play of its pair, or -1
};

// A spread of sweeps: how far to each side, how long a sweep takes, how low on the field, and
// where in the sweep it starts.
inline Pattern pattern(int k) {
    return {40 + 35 * (k % 5), 240 + 90 * ((k / 5) % 6), 360 + 40 * ((k / 3) % 5), (37 * k) % 240};
}

inline Plan plan(int n) {
    Plan p;
    p.mode = n >= 24 && n < kFirstPair ? ModeFirstLapOld : ModeFirstLap;
    p.quitAt = 3900 + 150 * (n % 8);
    if (n == 0) {
        // Sweeps past both walls: the ship spends long stretches pushing into one.
        p.opening = p.rest = {400, 600, 480, 0};
        p.sharesOpeningWith = -1;
    } else if (n < kFirstPair) {
        p.opening = p.rest = pattern(n);
        p.sharesOpeningWith = -1;
    } else {
        const int pair = (n - kFirstPair) / 2;
        p.opening = pattern(100 + 7 * pair);
        p.rest = pattern(200 + n);
        p.sharesOpeningWith = n ^ 1;  // kFirstPair is even
    }
    return p;
}

// The spot to head for at a frame of the play (pixels): a triangle sweep about the middle.
inline void aim(const Plan& plan, int frame, int& x, int& y) {
    const Pattern& p = frame < kOpeningFrames ? plan.opening : plan.rest;
    const int t = (frame + p.phase) % p.period;
    const int half = p.period / 2;
    const int along = t < half ? t : p.period - t;  // 0 .. half .. 0
    x = 240 - p.amplitude + 2 * p.amplitude * along / half;
    y = p.band;
}

// Dressing a play up as another: the same play with input the simulation reads differently in no
// way that shows, or hardly. Each works on the first stage's trace (the plays above have one).

inline Score readRecord(const std::string& replay) {
    Score record(nullptr);
    std::istringstream in(replay, std::ios::binary);
    record.read(in);
    return record;
}

inline std::string bytesOf(const Score& record) {
    const std::vector<unsigned char> bytes = record.toBytes();
    return std::string(bytes.begin(), bytes.end());
}

// The held buttons of every poll of the first stage.
inline std::vector<std::uint16_t> pollsOf(const Score& record) {
    std::vector<std::uint16_t> out;
    for (const InputRun& run : record.trace(0).runs()) out.insert(out.end(), static_cast<std::size_t>(run.repeat) + 1, run.buttonBits());
    return out;
}

// The record with these polls as its first stage's trace, written in runs of at most `longest`.
inline Score withPolls(Score record, const std::vector<std::uint16_t>& polls, int longest = 0x10000) {
    InputTrace trace;
    for (std::size_t i = 0; i < polls.size();) {
        std::size_t n = 1;
        while (i + n < polls.size() && polls[i + n] == polls[i] && n < static_cast<std::size_t>(longest)) ++n;
        trace.append(InputRun::fromBits(static_cast<std::int32_t>(n - 1), polls[i]));
        i += n;
    }
    record.storeStage(1, trace, record.stageStart(0).x, record.stageStart(0).y);
    return record;
}

// Re-simulated, with the header saying what the play gives: an upload that matches.
inline std::string withItsResult(Score record) {
    ReplayRunner runner(record);
    const ReplayRunner::Result r = runner.run(60 * 60 * 60);
    ScoreHeader h = record.getHeader();
    h.score = r.score;
    h.stages = r.stages;
    h.lives = r.lives;
    h.frames = r.frames;
    record.setHeader(h);
    return bytesOf(record);
}

// The ship's x on every frame of play: frame f shows what poll f did (until a pause).
inline std::vector<int> shipXs(const Score& record) {
    ReplayRunner runner(record);
    std::vector<int> xs;
    for (int f = 0; f < 60 * 60 * 60; ++f) {
        const bool ended = runner.step();
        const ReplayRunner::Result r = runner.result();
        if (r.played) xs.push_back(r.shipX);
        if (ended) break;
    }
    return xs;
}

struct Dressed {
    const char* what;
    std::string replay;
};

// Copies of an honest play (one that pushes into a wall now and then and quits through the pause
// menu), each dressed another way. All but the last leave the path as it was, or nearly.
inline std::vector<Dressed> dressedCopies(const std::string& honest) {
    const Score record = readRecord(honest);
    const std::vector<std::uint16_t> polls = pollsOf(record);
    const std::vector<int> xs = shipXs(record);
    const std::uint16_t left = 1u << Left, right = 1u << Right;
    const std::uint16_t vertical = (1u << Up) | (1u << Down);
    // Polls that pushed the ship into a wall: a side held alone (a diagonal is slower upwards than
    // a straight move) and the ship stayed where it was.
    std::vector<std::size_t> pushing;
    for (std::size_t p = 1; p < xs.size() && p < polls.size(); ++p)
        if (xs[p] == xs[p - 1] && !(polls[p] & vertical) &&
            ((polls[p] & left && xs[p] < 240) || (polls[p] & right && xs[p] > 240)))
            pushing.push_back(p);
    std::vector<Dressed> out;
    if (pushing.size() < 200) return out;  // not the play these copies are made from

    std::vector<std::uint16_t> flipped = polls;
    flipped[pushing[pushing.size() / 2]] &= static_cast<std::uint16_t>(~(left | right));
    out.push_back({"one bit flipped where the ship cannot move", withItsResult(withPolls(record, flipped))});

    std::vector<std::uint16_t> released = polls;
    for (std::size_t p : pushing) released[p] &= static_cast<std::uint16_t>(~(left | right));
    out.push_back({"every push into a wall let go (hundreds of frames)", withItsResult(withPolls(record, released))});

    out.push_back({"runs split every 7 polls", bytesOf(withPolls(record, polls, 7))});

    // The quit (Button3, then Down and Button1 in the menu) comes five polls earlier.
    std::size_t quit = polls.size();
    while (quit > 0 && !(polls[quit - 1] & (1u << Button3))) --quit;
    if (quit > 6) {
        std::vector<std::uint16_t> cut = polls;
        cut.erase(cut.begin() + static_cast<std::ptrdiff_t>(quit - 6), cut.begin() + static_cast<std::ptrdiff_t>(quit - 1));
        out.push_back({"input cut five frames short", withItsResult(withPolls(record, cut))});
    }

    // The pause menu opened on a poll past the opening, left open for 20 frames, and "return to
    // playing" chosen: the play stands still meanwhile and goes on as it was.
    if (polls.size() > kOpeningFrames + 100) {
        std::vector<std::uint16_t> paused = polls;
        const std::size_t p = kOpeningFrames;
        paused[p] |= 1u << Button3;
        std::vector<std::uint16_t> menu(20, 0);
        menu.push_back(1u << Button1);
        menu.push_back(0);  // the frame the menu closes on
        paused.insert(paused.begin() + static_cast<std::ptrdiff_t>(p + 1), menu.begin(), menu.end());
        out.push_back({"a pause of 20 frames in the middle", withItsResult(withPolls(record, paused))});
    }

    // A step up and back down where the ship keeps its height (past the opening, away from the
    // walls): it stands a few pixels off its track for a frame or two.
    for (std::size_t p = kOpeningFrames; p + 4 < polls.size() && p < xs.size(); ++p) {
        if (xs[p] < 60 || xs[p] > 420 || (polls[p] | polls[p + 1] | polls[p + 2] | polls[p + 3]) & vertical) continue;
        std::vector<std::uint16_t> detour = polls;
        detour[p + 1] |= 1u << Up;
        detour[p + 2] |= 1u << Down;
        out.push_back({"a step up and back down for two frames", withItsResult(withPolls(record, detour))});
        break;
    }
    return out;
}

}  // namespace pathplays
