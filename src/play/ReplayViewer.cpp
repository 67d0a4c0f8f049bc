#include "play/ReplayViewer.h"
#include <algorithm>
#include <cstring>
#include "app/Env.h"
#include "input/Input.h"

namespace {
constexpr const char* kSpeedNames[ReplayViewer::kSpeedCount] = {"x1/4", "x1/2", "x1", "x2", "x4"};
// Glyphs are 8 pixels apart: a line of 60 fills the field.
constexpr std::size_t kLineChars = 60;
constexpr int kCaptionY = 592;  // glyphs are centred on it: rows 584..599, under the gauge
constexpr int kNameY = 548;     // the name's text line starts here

// The key of a button as the player knows it, or the button's own name without a keyboard.
std::string keyOf(const Input& input, int button, const char* fallback) {
    const std::string& name = input.keyNameOf(button);
    return name.empty() ? fallback : name;
}
}  // namespace

ReplayViewer::ReplayViewer(Env* env, Log* log) : env_(env), caption_(env, log) {
    caption_.SetPosition(toFixed(4), toFixed(kCaptionY));
}

std::int32_t ReplayViewer::pace(Input& input) const {
    if (paused_ && !stepping_) return kSpeeds[kNormalSpeed];  // a held picture answers at once
    return input.isDownLive(Button2) ? kFastForwardFps : kSpeeds[speed_];
}

std::string ReplayViewer::Caption(int speed, bool paused, const Input& input) {
    const std::string pause = keyOf(input, Button1, "BUTTON1");
    // Most needed first; what does not fit on the line is left off.
    const std::string parts[] = {
        paused ? "REPLAY paused" : std::string("REPLAY ") + kSpeedNames[speed],
        keyOf(input, Button3, "BUTTON3") + ":exit",
        pause + (paused ? ":resume" : ":pause"),
        keyOf(input, Left, "LEFT") + "/" + keyOf(input, Right, "RIGHT") + ":speed",
        paused ? keyOf(input, Down, "DOWN") + ":step" : keyOf(input, Button2, "BUTTON2") + ":x4",
    };
    std::string line;
    for (const std::string& part : parts) {
        const std::string next = line.empty() ? part : line + "  " + part;
        if (next.size() > kLineChars) break;
        line = next;
    }
    return line;
}

void ReplayViewer::endFrame() {
    Input& input = env_->input;
    // A frame that ran (not held) leaves its picture's band to keep; the one frame asked for has
    // run, and the replay is held again.
    if (!holds()) keepBand();
    stepping_ = false;
    if (input.takePressLive(Button1)) paused_ = !paused_;
    if (input.takePressLive(Right)) speed_ = std::min(speed_ + 1, kSpeedCount - 1);
    if (input.takePressLive(Left)) speed_ = std::max(speed_ - 1, 0);
    if (paused_ && input.takePressLive(Down)) stepping_ = true;
    if (paused_) restoreBand();
    caption_.SetText(Caption(speed_, paused_, input));
    caption_.UpdateTree();
    if (!name_.empty()) env_->draw.DrawText(toFixed(8), toFixed(kNameY), ("PLAYER: " + name_).c_str());
}

void ReplayViewer::keepBand() {
    Draw& draw = env_->draw;
    if (draw.discards() || draw.skip()) return;  // an undrawn frame: the band kept before stays
    const Surface& back = draw.backBuffer();
    if (back.height < kBandBottom) return;
    band_.resize(static_cast<std::size_t>(kBandBottom - kBandTop) * Draw::kPlayfieldWidth);
    for (int y = kBandTop; y < kBandBottom; ++y)
        std::memcpy(&band_[static_cast<std::size_t>(y - kBandTop) * Draw::kPlayfieldWidth],
                    &back.pixels[static_cast<std::size_t>(y) * back.width + Draw::kPlayfieldLeft],
                    Draw::kPlayfieldWidth * sizeof(std::uint32_t));
}

void ReplayViewer::restoreBand() {
    Surface& back = env_->draw.backBuffer();
    if (band_.empty() || back.height < kBandBottom) return;
    for (int y = kBandTop; y < kBandBottom; ++y)
        std::memcpy(&back.pixels[static_cast<std::size_t>(y) * back.width + Draw::kPlayfieldLeft],
                    &band_[static_cast<std::size_t>(y - kBandTop) * Draw::kPlayfieldWidth],
                    Draw::kPlayfieldWidth * sizeof(std::uint32_t));
}
