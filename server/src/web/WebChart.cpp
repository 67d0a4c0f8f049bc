#include "web/WebChart.h"
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
// Room on the left for a five-digit item count at the phone's larger type, and below the time
// axis for its title and the legend.
constexpr int kWidth = 720, kHeight = 360;
constexpr int kLeft = 100, kRight = 708, kTop = 28, kBottom = 262;

std::string num(double v) {
    char s[32];
    std::snprintf(s, sizeof s, "%.1f", v);
    return s;
}

// A round top for the item axis: 1, 2 or 5 times a power of ten, at least the highest count.
std::int32_t roundUp(std::int32_t v) {
    if (v <= 0) return 10;
    for (std::int64_t scale = 1;; scale *= 10)
        for (int m : {1, 2, 5})
            if (m * scale >= v) return static_cast<std::int32_t>(m * scale);
}

// A tick step on the time axis giving at most about eight ticks: past two hours, whole hours.
std::int64_t timeStep(std::int32_t frames) {
    for (std::int64_t seconds : {10, 30, 60, 120, 300, 600, 1200, 1800, 3600, 7200})
        if (frames / (seconds * 60) <= 8) return seconds * 60;
    return (frames / 8 / 216000 + 1) * 216000;
}
}  // namespace

std::string playTime(std::int32_t frames) {
    const std::int32_t seconds = std::max(frames, 0) / 60;
    char s[32];
    std::snprintf(s, sizeof s, "%d:%02d", seconds / 60, seconds % 60);
    return s;
}

std::string chartSvg(const PlayChart& chart, std::int32_t lastStage) {
    std::vector<PlayChart::Point> line{{0, 0}};
    for (std::size_t k = 0; k < chart.samples.size(); ++k)
        line.push_back({static_cast<std::int32_t>((k + 1) * static_cast<std::int64_t>(chart.step)), chart.samples[k]});
    line.insert(line.end(), chart.stageEnds.begin(), chart.stageEnds.end());
    line.insert(line.end(), chart.livesLost.begin(), chart.livesLost.end());
    std::stable_sort(line.begin(), line.end(), [](auto& a, auto& b) { return a.frame < b.frame; });
    std::int32_t frames = 1, items = 0;
    for (const auto& p : line) {
        frames = std::max(frames, p.frame);
        items = std::max(items, p.items);
    }
    const std::int32_t top = roundUp(items);
    auto x = [&](std::int32_t f) { return kLeft + (kRight - kLeft) * static_cast<double>(f) / frames; };
    auto y = [&](std::int32_t i) { return kBottom - (kBottom - kTop) * static_cast<double>(i) / top; };

    std::string s = "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(kWidth) + " " + std::to_string(kHeight) +
                    "\" role=\"img\" aria-labelledby=\"chart-title\" xmlns=\"http://www.w3.org/2000/svg\">";
    s += "<title id=\"chart-title\">Items over the play's time: " + std::to_string(chart.stageEnds.size()) +
         " stages, " + std::to_string(chart.livesLost.size()) + " lives lost</title>";
    // Stage bands, each labelled, with a line at every boundary.
    std::int32_t from = 0;
    for (std::size_t i = 0; i < chart.stageEnds.size(); ++i) {
        const std::int32_t to = chart.stageEnds[i].frame;
        const int stage = static_cast<int>(i + 1);
        s += "<rect class=\"band" + std::to_string(stage % 2) + "\" x=\"" + num(x(from)) + "\" y=\"" + num(kTop) +
             "\" width=\"" + num(x(to) - x(from)) + "\" height=\"" + num(kBottom - kTop) + "\"/>";
        const double width = x(to) - x(from);
        if (width >= 14)
            s += "<text class=\"stage-label\" x=\"" + num((x(from) + x(to)) / 2) + "\" y=\"" + num(kTop - 8) +
                 "\" text-anchor=\"middle\">" + (stage > lastStage ? std::string("end") : width >= 70 ? "Stage " + std::to_string(stage) : std::to_string(stage)) +
                 "</text>";
        if (i + 1 < chart.stageEnds.size())
            s += "<line class=\"stage-boundary\" x1=\"" + num(x(to)) + "\" x2=\"" + num(x(to)) + "\" y1=\"" +
                 num(kTop) + "\" y2=\"" + num(kBottom) + "\"/>";
        from = to;
    }
    // Axes with their ticks.
    s += "<line class=\"axis\" x1=\"" + num(kLeft) + "\" x2=\"" + num(kRight) + "\" y1=\"" + num(kBottom) + "\" y2=\"" +
         num(kBottom) + "\"/><line class=\"axis\" x1=\"" + num(kLeft) + "\" x2=\"" + num(kLeft) + "\" y1=\"" +
         num(kTop) + "\" y2=\"" + num(kBottom) + "\"/>";
    for (std::int32_t i : {0, top / 2, top})
        s += "<text class=\"tick\" x=\"" + num(kLeft - 6) + "\" y=\"" + num(y(i) + 4) + "\" text-anchor=\"end\">" +
             std::to_string(i) + "</text>";
    // Counted in 64 bits: a play near 2^31 frames must not wrap the counter round.
    const std::int64_t step = timeStep(frames);
    for (std::int64_t f = 0; f <= frames; f += step)
        s += "<text class=\"tick\" x=\"" + num(x(static_cast<std::int32_t>(f))) + "\" y=\"" + num(kBottom + 18) +
             "\" text-anchor=\"middle\">" + playTime(static_cast<std::int32_t>(f)) + "</text>";
    // The axes' titles, and a legend read without hovering anything.
    s += "<text class=\"axis-title\" transform=\"rotate(-90)\" x=\"" + num(-(kTop + kBottom) / 2.0) +
         "\" y=\"24\" text-anchor=\"middle\">Items</text>";
    s += "<text class=\"axis-title\" x=\"" + num((kLeft + kRight) / 2.0) + "\" y=\"" + num(kBottom + 46) +
         "\" text-anchor=\"middle\">Time (minutes:seconds)</text>";
    const double legend = kBottom + 82;
    s += "<g class=\"legend\"><line class=\"items\" x1=\"" + num(kLeft) + "\" x2=\"" + num(kLeft + 30) + "\" y1=\"" +
         num(legend - 6) + "\" y2=\"" + num(legend - 6) + "\"/><text class=\"legend-text\" x=\"" + num(kLeft + 38) + "\" y=\"" +
         num(legend) + "\">Items</text><circle class=\"legend-life\" cx=\"" + num(kLeft + 200) + "\" cy=\"" + num(legend - 6) +
         "\" r=\"6\"/><text class=\"legend-text\" x=\"" + num(kLeft + 214) + "\" y=\"" + num(legend) +
         "\">Life lost</text><line class=\"legend-boundary\" x1=\"" + num(kLeft + 380) + "\" x2=\"" + num(kLeft + 380) +
         "\" y1=\"" + num(legend - 18) + "\" y2=\"" + num(legend + 4) + "\"/><text class=\"legend-text\" x=\"" + num(kLeft + 390) +
         "\" y=\"" + num(legend) + "\">Stage end</text></g>";
    // The item count.
    s += "<polyline class=\"items\" points=\"";
    for (std::size_t i = 0; i < line.size(); ++i) s += (i ? " " : "") + num(x(line[i].frame)) + "," + num(y(line[i].items));
    s += "\"/>";
    // The lives lost, on top of everything.
    for (const auto& p : chart.livesLost) {
        s += "<g class=\"life-lost\" data-frame=\"" + std::to_string(p.frame) + "\"><line x1=\"" + num(x(p.frame)) +
             "\" x2=\"" + num(x(p.frame)) + "\" y1=\"" + num(kTop) + "\" y2=\"" + num(kBottom) + "\"/><circle cx=\"" +
             num(x(p.frame)) + "\" cy=\"" + num(y(p.items)) + "\" r=\"6\"/><title>Life lost at " + playTime(p.frame) +
             " (frame " + std::to_string(p.frame) + "), " + std::to_string(p.items) + " items</title></g>";
    }
    return s + "</svg>";
}
