#include "web/WebJson.h"
#include "core/PlayChart.h"
#include "web/WebPages.h"
#include "web/WebText.h"

namespace webjson {
namespace {
using webtext::json;

std::string field(const char* key, const std::string& literal, bool first = false) {
    return std::string(first ? "\"" : ",\"") + key + "\":" + literal;
}
std::string field(const char* key, std::int64_t v, bool first = false) { return field(key, std::to_string(v), first); }

std::string chart(const std::string& text, std::int32_t frames) {
    const std::optional<PlayChart> c = PlayChart::fromText(text, frames);
    if (!c || c->stageEnds.empty()) return "null";
    std::string s = "{\"stages\":[";
    for (std::size_t i = 0; i < c->stageEnds.size(); ++i)
        s += std::string(i ? "," : "") + "{" + field("stage", static_cast<std::int64_t>(i + 1), true) +
             field("end_frame", c->stageEnds[i].frame) + field("items", c->stageEnds[i].items) + "}";
    s += "],\"lives_lost\":[";
    for (std::size_t i = 0; i < c->livesLost.size(); ++i)
        s += std::string(i ? "," : "") + "{" + field("frame", c->livesLost[i].frame, true) +
             field("items", c->livesLost[i].items) + "}";
    s += "]" + field("sample_step", c->step) + ",\"item_samples\":[";
    for (std::size_t i = 0; i < c->samples.size(); ++i) s += (i ? "," : "") + std::to_string(c->samples[i]);
    return s + "]}";
}

std::string entries(const RankedList& list, std::size_t first, std::size_t count) {
    const webpages::RankedMode* mode = webpages::rankedModeOfVersion(list.version);
    std::string s = ",\"entries\":[";
    for (std::size_t i = first; i < list.entries.size() && i < first + count; ++i) {
        const Storage::Entry& e = list.entries[i];
        s += std::string(i > first ? ",\n" : "\n") + "{" + field("rank", list.ranks[i], true) + field("username", json(e.name)) +
             field("score", e.score) + field("stage", e.stage) +
             field("stage_text", json(webpages::stageText(mode ? mode->mode : 0, e.stage))) +
             field("regist_date", json(webpages::dateText(e.uploadedAt))) + field("uploaded_at", e.uploadedAt) +
             field("id", e.id) + field("comment", json(e.comment)) + "}";
    }
    return s + "]";
}

std::string header(const RankedList& list) {
    const webpages::RankedMode* mode = webpages::rankedModeOfVersion(list.version);
    return "{" + field("version", list.version, true) + field("mode", mode ? mode->mode : 0) +
           field("title", json(mode ? mode->title : ""));
}

std::string playFields(const Storage::Play& p) {
    return field("id", p.id, true) + field("username", json(p.name)) + field("mode", p.mode) + field("version", p.version) +
           field("score", p.score) + field("stage", p.stage) + field("stage_text", json(webpages::stageText(p.mode, p.stage))) +
           field("lives", p.lives) + field("frames", p.frames) + field("regist_date", json(webpages::dateText(p.uploadedAt))) +
           field("uploaded_at", p.uploadedAt) + field("comment", json(p.comment)) +
           field("superseded_by", p.supersededBy != 0 ? std::to_string(p.supersededBy) : "null");
}
}  // namespace

std::string ranking(const RankedList& list) { return header(list) + entries(list, 0, list.entries.size()) + "}\n"; }

std::string rankingPage(const RankedList& list, std::size_t page, std::size_t perPage) {
    const std::size_t pages = list.entries.empty() ? 1 : (list.entries.size() + perPage - 1) / perPage;
    return header(list) + field("total", static_cast<std::int64_t>(list.entries.size())) +
           field("page", static_cast<std::int64_t>(page)) + field("per_page", static_cast<std::int64_t>(perPage)) +
           field("pages", static_cast<std::int64_t>(pages)) + entries(list, (page - 1) * perPage, perPage) + "}\n";
}

std::string player(const std::string& name, const std::vector<Best>& best, const std::vector<Storage::Play>& history) {
    std::string s = "{" + field("username", json(name), true) + ",\"best\":[";
    for (std::size_t i = 0; i < best.size(); ++i) {
        const Best& b = best[i];
        s += std::string(i ? ",\n" : "\n") + "{" + field("mode", b.mode, true) + field("version", b.version) +
             field("rank", b.rank) + field("id", b.entry->id) + field("score", b.entry->score) +
             field("stage", b.entry->stage) + field("uploaded_at", b.entry->uploadedAt) + "}";
    }
    s += "],\"history\":[";
    for (std::size_t i = 0; i < history.size(); ++i) s += std::string(i ? ",\n" : "\n") + "{" + playFields(history[i]) + "}";
    return s + "]}\n";
}

std::string search(const std::string& query, const std::vector<std::string>& names, bool more) {
    std::string s = "{" + field("query", json(query), true) + ",\"players\":[";
    for (std::size_t i = 0; i < names.size(); ++i)
        s += std::string(i ? "," : "") + "{" + field("username", json(names[i]), true) +
             field("page", json("/player/" + webtext::percentEncode(names[i]))) +
             field("api", json("/api/player/" + webtext::percentEncode(names[i]))) + "}";
    return s + "]" + field("more", more ? "true" : "false") + "}\n";
}

std::string play(const Storage::Play& p, std::int32_t rank) {
    return "{" + playFields(p) + field("rank", rank > 0 ? std::to_string(rank) : "null") +
           field("replay", json("/replay?id=" + std::to_string(p.id))) +
           field("page", json("/play/" + std::to_string(p.id))) + field("watch", json("/watch/" + std::to_string(p.id))) +
           field("chart", chart(p.chart, p.frames)) + "}\n";
}

std::string error(unsigned status, const std::string& message) {
    return "{" + field("status", status, true) + field("error", json(message)) + "}\n";
}
}  // namespace webjson
