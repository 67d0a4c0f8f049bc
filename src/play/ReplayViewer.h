#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "character/CharacterString.h"

class Env;
class Input;
class Log;

// What the watcher of a replay has in hand, on the live buttons (the play set belongs to the
// trace): Button1 pauses and resumes, Left and Right step the pace through x1/4, x1/2, x1, x2 and
// x4, Down runs one frame while paused, Button2 held runs at x4, Button3 leaves. Only the pace of
// the frames changes, never what a frame does, so a replay stays exact at every speed.
//
// The caption sits on the bottom line of the field, under the bullet-size gauge, and names the
// player's own keys; an online entry's replay shows its player's name above it. The band of the
// picture under them is kept from each drawn frame, so a paused picture gets a fresh caption
// without the old one showing through.
class ReplayViewer {
public:
    static constexpr int kSpeedCount = 5;
    static constexpr std::int32_t kSpeeds[kSpeedCount] = {15, 30, 60, 120, 240};
    static constexpr int kNormalSpeed = 2;
    static constexpr std::int32_t kFastForwardFps = 240;
    // The band of field rows the caption and the name are drawn in.
    static constexpr int kBandTop = 544;
    static constexpr int kBandBottom = 600;

    ReplayViewer(Env* env, Log* log);

    // The player named on the replay ("" for the local plays: none shown).
    void setName(std::string name) { name_ = std::move(name); }
    const std::string& name() const { return name_; }

    // True while the frame must be held: paused and no single frame asked for.
    bool holds() const { return paused_ && !stepping_; }
    // The frame timer's pace for the coming frames (x4 while Button2 is held live).
    std::int32_t pace(Input& input) const;
    // After a frame of the replay (drawn or held): acts on the live presses, then draws the
    // caption and the name over the frame's picture, or over the kept one while paused.
    void endFrame();

    bool paused() const { return paused_; }
    int speed() const { return speed_; }
    const CharacterString& captionText() const { return caption_; }

    // The caption for a pace and state, with the keys the input gives the buttons.
    static std::string Caption(int speed, bool paused, const Input& input);

private:
    void keepBand();
    void restoreBand();

    Env* env_;
    CharacterString caption_;
    std::string name_;
    bool paused_ = false;
    bool stepping_ = false;  // one frame asked for while paused
    int speed_ = kNormalSpeed;
    std::vector<std::uint32_t> band_;  // the picture under the caption, without it
};
