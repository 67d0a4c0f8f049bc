#include "core/PlayChart.h"
#include <charconv>

namespace {
void put(std::string& out, std::int32_t v) {
    out += std::to_string(v);
}

struct Reader {
    std::string_view text;
    std::size_t at = 0;
    // The next space-separated word; empty at the end.
    std::string_view word() {
        while (at < text.size() && text[at] == ' ') ++at;
        const std::size_t start = at;
        while (at < text.size() && text[at] != ' ') ++at;
        return text.substr(start, at - start);
    }
};

bool number(std::string_view w, std::int32_t& v) {
    if (w.empty() || w[0] == '-' || w[0] == '+') return false;
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
    return ec == std::errc() && end == w.data() + w.size();
}

bool point(std::string_view w, PlayChart::Point& p) {
    const std::size_t slash = w.find('/');
    return slash != std::string_view::npos && number(w.substr(0, slash), p.frame) && number(w.substr(slash + 1), p.items);
}
}  // namespace

std::string PlayChart::toText() const {
    std::string out = "S";
    for (const Point& p : stageEnds) out += " " + std::to_string(p.frame) + "/" + std::to_string(p.items);
    out += " L";
    for (const Point& p : livesLost) out += " " + std::to_string(p.frame) + "/" + std::to_string(p.items);
    out += " P ";
    put(out, step);
    for (std::int32_t v : samples) {
        out += ' ';
        put(out, v);
    }
    return out;
}

std::optional<PlayChart> PlayChart::fromText(std::string_view text, std::int32_t frames) {
    PlayChart c;
    Reader in{text};
    if (in.word() != "S") return std::nullopt;
    std::string_view w;
    std::int32_t lastFrame = 0;
    while ((w = in.word()) != "L") {
        Point p;
        if (!point(w, p) || p.frame < lastFrame || p.frame > frames || c.stageEnds.size() == kMaxStages)
            return std::nullopt;
        lastFrame = p.frame;
        c.stageEnds.push_back(p);
    }
    lastFrame = 0;
    while ((w = in.word()) != "P") {
        Point p;
        if (!point(w, p) || p.frame < lastFrame || p.frame > frames || c.livesLost.size() == kMaxLivesLost)
            return std::nullopt;
        lastFrame = p.frame;
        c.livesLost.push_back(p);
    }
    if (!number(in.word(), c.step) || c.step <= 0) return std::nullopt;
    while (!(w = in.word()).empty()) {
        std::int32_t v = 0;
        if (!number(w, v) || c.samples.size() == kMaxSamples) return std::nullopt;
        c.samples.push_back(v);
        // Sample k is taken at frame (k + 1) * step, within the play.
        if (static_cast<std::int64_t>(c.samples.size()) * c.step > frames) return std::nullopt;
    }
    return c;
}

void PlayChartRecorder::frame(std::int32_t frame, std::int32_t stage, std::int32_t items, std::int32_t lives) {
    if (!primed_) {
        primed_ = true;
        stage_ = stage;
        lives_ = lives;
    }
    if (stage != stage_ && chart_.stageEnds.size() < PlayChart::kMaxStages) chart_.stageEnds.push_back({frame, items});
    if (lives < lives_ && chart_.livesLost.size() < PlayChart::kMaxLivesLost) chart_.livesLost.push_back({frame, items});
    stage_ = stage;
    lives_ = lives;
    if (frame > 0 && frame % chart_.step == 0) {
        chart_.samples.push_back(items);
        if (chart_.samples.size() > PlayChart::kMaxSamples) {
            // Keep the samples that fall on the doubled step: frames 2s, 4s, ... are indices 1, 3, ...
            std::vector<std::int32_t> kept;
            for (std::size_t k = 1; k < chart_.samples.size(); k += 2) kept.push_back(chart_.samples[k]);
            chart_.samples = std::move(kept);
            chart_.step *= 2;
        }
    }
    last_ = {frame, items};
}

PlayChart PlayChartRecorder::finish() {
    if (primed_ && chart_.stageEnds.size() < PlayChart::kMaxStages) chart_.stageEnds.push_back(last_);
    return chart_;
}
