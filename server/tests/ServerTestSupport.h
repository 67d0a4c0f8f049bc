#pragma once
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"
#include "records/Score.h"

// Honest replay files recorded through the headless harness, and forged ones made from them.
namespace testplays {
// Fires while weaving, now and then holds Button2 long enough for large bullets and a stock,
// then taps it to spend the stock.
inline std::uint8_t weave(int f) {
    std::uint8_t b = PlayHarness::bit(Button1);
    b |= (f / 40) % 2 ? PlayHarness::bit(Left) : PlayHarness::bit(Right);
    if ((f / 25) % 3 == 0) b |= PlayHarness::bit(Up);
    const int cycle = f % 400;
    if (cycle >= 100 && cycle < 175) b |= PlayHarness::bit(Button2);
    if (cycle == 250 || cycle == 251) b |= PlayHarness::bit(Button2);
    return b;
}

// Weaves until quitAt, then pauses and returns to the title (quitAt 0: plays until the ship is lost).
inline std::uint8_t weaveThenQuit(int f, int quitAt) {
    if (quitAt > 0 && f >= quitAt) {
        if (f == quitAt) return PlayHarness::bit(Button3);
        if (f == quitAt + 10) return PlayHarness::bit(Down);
        if (f == quitAt + 20) return PlayHarness::bit(Button1);
        return 0;
    }
    return weave(f);
}

// The replay file of such a play; empty when it did not end within 30 minutes.
inline std::string honest(std::int32_t mode, int quitAt) {
    PlayHarness play(mode, /*drawing*/ false);
    for (int f = 0; f < 60 * 60 * 30 && !play.ended(); ++f) play.step(weaveThenQuit(f, quitAt));
    if (!play.ended()) return {};
    const std::vector<unsigned char> bytes = play.game().record().toBytes();
    return std::string(bytes.begin(), bytes.end());
}

// A play that jumps to stage `stage` through the pause menu, weaves there and quits, with a header
// that says just what the re-simulation gives: every byte true, and still no play the game keeps.
inline std::string stageSelected(std::int32_t mode, int stage) {
    PlayHarness play(mode, /*drawing*/ false);
    play.run(30);
    if (!play.selectStage(stage)) return {};
    for (int f = 0; f < 60 * 60 * 30 && !play.ended(); ++f) play.step(weaveThenQuit(f, 200));
    Score record = play.inputRecord();
    ScoreHeader h = record.getHeader();
    h.score = play.items();
    h.stages = play.stage();
    h.lives = play.lives();
    h.frames = play.game().playFrames();
    record.setHeader(h);
    const std::vector<unsigned char> bytes = record.toBytes();
    return std::string(bytes.begin(), bytes.end());
}

// The header field i (0 version, 1 mode, 2 score, 3 stages, 4 lives, 5 valid, 6 ms, 7 frames).
inline std::int32_t field(const std::string& replay, int i) {
    std::int32_t v = 0;
    std::memcpy(&v, replay.data() + 22 + 4 * i, 4);
    return v;
}
inline std::string withField(std::string replay, int i, std::int32_t value) {
    char bytes[4];
    std::memcpy(bytes, &value, 4);
    replay.replace(static_cast<std::size_t>(22 + 4 * i), 4, bytes, 4);
    return replay;
}

// The same play claiming one stage more than it reached, and lying about nothing else: the file
// holds a trace for every stage its header names, so an empty one is added for the stage never
// reached (the re-simulation never gets there to read it).
inline std::string withOneStageMore(const std::string& replay) {
    Score record(nullptr);
    std::istringstream in(replay, std::ios::binary);
    if (!record.read(in)) return {};
    ScoreHeader h = record.getHeader();
    record.storeStage(h.stages + 1, InputTrace{}, 0, 0);
    ++h.stages;
    record.setHeader(h);
    const std::vector<unsigned char> bytes = record.toBytes();
    return std::string(bytes.begin(), bytes.end());
}

// A well-formed one-stage file of mode 4 claiming `frames`: ten frames, a press of Button3 that
// opens the pause menu, then `runs` runs of 65536 frames of nothing, so the play stays paused for
// as long as the runs last.
inline std::string bomb(std::int32_t frames, std::int32_t runs) {
    std::string out("NimbulonScoreFile\0", 18);
    auto put = [&](std::int32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    put(32);
    for (std::int32_t v : {106, 4, 0, 1, 3, 1, 0, frames}) put(v);
    put(240 << 16);  // the ship's start
    put(500 << 16);
    put(runs + 2);
    put(9);
    put(0 | (1 << (16 + Button3)));
    for (std::int32_t i = 0; i < runs; ++i) put(0xFFFF);
    return out;
}
}  // namespace testplays
