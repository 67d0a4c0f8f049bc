#pragma once
#include <cstdint>
#include <string>
#include "core/PlayChart.h"

// The chart of a play as inline SVG: the item count over the play's time, the stages as bands
// with their boundaries, and a mark at every life lost (class "life-lost", its frame in
// data-frame). Only numbers go into it, nothing a player typed. lastStage: the mode's last stage,
// so that the time after it is labelled as the ending.
std::string chartSvg(const PlayChart& chart, std::int32_t lastStage);

// "m:ss" of a frame count at 60 frames per second.
std::string playTime(std::int32_t frames);
