#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include "records/Score.h"

class GameMain;
struct Surface;

// Re-simulates a recorded play without window, sound or sleeping, exactly as the play scene
// replays it from the records scene: the same scene, the same first-frame seeding, the stage
// traces fed in turn. Used by the replay tool, its tests and the benchmark.
class ReplayRunner {
public:
    struct Result {
        bool ended = false;        // the play scene left the play within the frame bound
        std::int32_t score = 0;    // item count when it ended (or when the bound stopped it)
        std::int32_t stages = 0;   // stage number
        std::int32_t lives = 0;
        std::int32_t frames = 0;   // frames run by the play scene
        bool stageSelected = false;  // a stage was chosen from the pause menu: the game keeps no such play
        std::int32_t shipX = 0, shipY = 0;  // the ship's place, playfield pixels
        bool played = false;  // the last step ran the play, not its pause menu
    };

    // One line of JSON per event of the play, without the line end.
    using EventSink = std::function<void(const std::string& json)>;

    // drawing: draw every frame as the screen would show it; by default nothing is drawn at all,
    // which gives the same play faster. sound: the effects play into the mixer, which the caller
    // pulls with renderSound (no music).
    explicit ReplayRunner(const Score& record, bool drawing = false, bool sound = false);
    ~ReplayRunner();
    ReplayRunner(const ReplayRunner&) = delete;
    ReplayRunner& operator=(const ReplayRunner&) = delete;

    // The record's version is the one this program gives its game mode.
    bool versionMatches() const;
    // Runs until the play scene ends the play or maxFrames have run. Events go to sink when set.
    Result run(std::int64_t maxFrames, const EventSink& sink = {});
    // One frame of the play, for a caller that paces the play itself (the browser's player): true
    // once the play scene has ended the play (later calls then do nothing). Events go to sink.
    bool step(const EventSink& sink = {});
    // The play as it stands: score, stages, lives and frames run (ended once step said so).
    Result result();
    // The 800 x 600 back buffer as the last step drew it (playfield columns 160..639); only
    // meaningful when the runner was built drawing.
    const Surface& picture();
    // The effects of the frames since the last call, as interleaved 44100 Hz stereo 16-bit
    // frames (735 a frame of play); silence unless built with sound.
    void renderSound(std::int16_t* out, int frames);
    // The recorded result agrees with a re-simulated one (score, stages, lives and frames).
    static bool matches(const ScoreHeader& recorded, const Result& result);

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};
