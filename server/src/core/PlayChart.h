#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the chart of a play is drawn from, taken frame by frame while the server re-simulates it:
// the item count and frame count at the end of every stage, the frames where a life was lost,
// and the item count sampled at a fixed step (the step doubles as the play grows long, so that a
// play of any length keeps at most kMaxSamples samples).
struct PlayChart {
    struct Point {
        std::int32_t frame = 0, items = 0;
        bool operator==(const Point& o) const { return frame == o.frame && items == o.items; }
    };
    std::vector<Point> stageEnds;   // one per stage number the play reached, the last at its end
    std::vector<Point> livesLost;   // in order
    std::int32_t step = 0;          // samples[k] is the item count at frame (k + 1) * step
    std::vector<std::int32_t> samples;

    static constexpr std::size_t kMaxStages = 16, kMaxLivesLost = 256, kMaxSamples = 512;

    // One line of text: "S f/i f/i ... L f/i ... P step i i ...". Stored with the play and sent
    // by the check process after its verdict.
    std::string toText() const;
    // Refuses anything toText would not have written for a play of `frames` frames (negative or
    // out-of-order frames, a point or a sample past the play's end, too many points): the text
    // comes from a process that read a stranger's file, and every figure drawn from it stays
    // within the play's frames.
    static std::optional<PlayChart> fromText(std::string_view text, std::int32_t frames);
    bool operator==(const PlayChart& o) const {
        return stageEnds == o.stageEnds && livesLost == o.livesLost && step == o.step && samples == o.samples;
    }
};

// Builds the chart from the play's state after each frame.
class PlayChartRecorder {
public:
    // frame: frames run so far; stage, items and lives as the play stands after that frame.
    void frame(std::int32_t frame, std::int32_t stage, std::int32_t items, std::int32_t lives);
    PlayChart finish();

private:
    using Point = PlayChart::Point;
    static constexpr std::int32_t kFirstStep = 60;
    PlayChart chart_{{}, {}, kFirstStep, {}};
    bool primed_ = false;
    std::int32_t stage_ = 0, lives_ = 0;
    Point last_;
};
