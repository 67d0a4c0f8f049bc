// The browser's replay player: the play simulation driven one frame at a time by the page, the
// same play step as the replay tool's (ReplayRunner), with every frame drawn by our software
// drawing. The page hands over a replay file's bytes, steps the play at its own pace, copies
// the playfield out as RGBA for its <canvas>, pulls the sound effects for Web Audio and may read
// the play's events. The effects' WAV files are packed into the module at ./data (no music).
#include <emscripten/emscripten.h>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include "app/Log.h"
#include "graphics/Surface.h"
#include "records/GameMode.h"
#include "records/ReplayRunner.h"
#include "records/Score.h"

namespace {
constexpr int kLeft = 160, kWidth = 480, kHeight = 600;
// The most sound one call hands over: a second of 44100 Hz stereo.
constexpr int kMaxSoundFrames = 44100;

struct Player {
    Log log{""};
    std::unique_ptr<ReplayRunner> runner;
    bool keepEvents = false;
    std::string events;  // JSON lines since the page last took them
    std::uint8_t rgba[kWidth * kHeight * 4];
    std::int32_t result[5];
    std::int16_t sound[kMaxSoundFrames * 2];
};
Player* player = nullptr;
}  // namespace

extern "C" {

// Starts a play from a replay file's bytes. 0 ready; 1 not a replay file; 2 made for another
// version of its mode than this program's. events: keep the play's event lines for nw_events.
EMSCRIPTEN_KEEPALIVE int nw_load(const char* bytes, int size, int events) {
    if (!player) player = new Player;
    player->runner.reset();
    player->events.clear();
    player->keepEvents = events != 0;
    if (!bytes || size <= 0) return 1;
    std::istringstream in(std::string(bytes, static_cast<std::size_t>(size)));
    Score record(&player->log);
    if (!record.read(in)) return 1;
    const ScoreHeader h = record.getHeader();
    if (h.version != replayVersionOf(h.gameMode)) return 2;
    player->runner = std::make_unique<ReplayRunner>(record, /*drawing*/ true, /*sound*/ true);
    return 0;
}

// Runs up to `frames` frames; 1 once the play has ended, 0 while it goes on, -1 with no play.
EMSCRIPTEN_KEEPALIVE int nw_step(int frames) {
    if (!player || !player->runner) return -1;
    ReplayRunner::EventSink sink;
    if (player->keepEvents) sink = [](const std::string& line) { player->events.append(line).append("\n"); };
    bool ended = false;
    for (int i = 0; i < frames && !ended; ++i) ended = player->runner->step(sink);
    return ended ? 1 : 0;
}

// The play as it stands: ended (0/1), score, stage, lives, frames; null with no play.
EMSCRIPTEN_KEEPALIVE const std::int32_t* nw_result() {
    if (!player || !player->runner) return nullptr;
    const ReplayRunner::Result r = player->runner->result();
    std::int32_t* out = player->result;
    out[0] = r.ended ? 1 : 0;
    out[1] = r.score;
    out[2] = r.stages;
    out[3] = r.lives;
    out[4] = r.frames;
    return out;
}

// The playfield of the last frame, 480 x 600 RGBA rows top first (opaque); null with no play.
EMSCRIPTEN_KEEPALIVE const std::uint8_t* nw_pixels() {
    if (!player || !player->runner) return nullptr;
    const Surface& back = player->runner->picture();
    std::uint8_t* out = player->rgba;
    for (int y = 0; y < kHeight; ++y) {
        const std::uint32_t* row = back.row(y) + kLeft;
        for (int x = 0; x < kWidth; ++x, out += 4) {
            const std::uint32_t p = row[x];
            out[0] = static_cast<std::uint8_t>(p >> 16);
            out[1] = static_cast<std::uint8_t>(p >> 8);
            out[2] = static_cast<std::uint8_t>(p);
            out[3] = 255;
        }
    }
    return player->rgba;
}

// The effects of the frames stepped since the last call, `frames` interleaved 44100 Hz stereo
// 16-bit frames (735 a frame of play, at most a second); null with no play. The page pulls them
// even when it plays no sound, so that nothing waits in the mixer.
EMSCRIPTEN_KEEPALIVE const std::int16_t* nw_sound(int frames) {
    if (!player || !player->runner || frames < 0 || frames > kMaxSoundFrames) return nullptr;
    player->runner->renderSound(player->sound, frames);
    return player->sound;
}

// The event lines kept since the last nw_clear_events, one JSON object a line.
EMSCRIPTEN_KEEPALIVE const char* nw_events() { return player ? player->events.c_str() : ""; }
EMSCRIPTEN_KEEPALIVE void nw_clear_events() {
    if (player) player->events.clear();
}
}
