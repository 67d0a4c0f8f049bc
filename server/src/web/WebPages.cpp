#include "web/WebPages.h"
#include "core/PlayChart.h"
#include "web/ContentEncoding.h"
#include "web/WebChart.h"
#include "web/WebText.h"
#include "records/GameMode.h"

namespace webpages {
namespace {
using webtext::html;

std::string layout(const std::string& title, const std::string& main) {
    static const std::string css = versionedAddress("/style.css", styleSheet()), svg = versionedAddress("/favicon.svg", icon());
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" + html(title) + " - Nimbulon ranking</title><link rel=\"stylesheet\" href=\"" + css + "\"><link rel=\"icon\" href=\"" + svg + "\"></head>"
           "<body><header><a class=\"home\" href=\"/\">Nimbulon ranking</a></header><main>" + main +
           "</main><footer>Every play here was re-simulated by the server. "
           "<a href=\"/api/ranking?version=107\">JSON</a></footer></body></html>\n";
}

std::string playerLink(const std::string& name) {
    return "<a href=\"/player/" + webtext::percentEncode(name) + "\">" + html(name) + "</a>";
}

// One list as a table; first: the rank of the first row shown is entries[first].
std::string table(const RankedMode& mode, const RankedList& list, std::size_t first, std::size_t count) {
    std::string s = "<table class=\"ranking\"><thead><tr><th class=\"rank\">Rank</th><th class=\"name\">Name</th>"
                    "<th class=\"num\">Score</th><th class=\"num\">Stage</th><th class=\"date\">Date</th>"
                    "<th class=\"comment\">Comment</th></tr></thead><tbody>";
    for (std::size_t i = first; i < list.entries.size() && i < first + count; ++i) {
        const Storage::Entry& e = list.entries[i];
        s += "<tr data-id=\"" + std::to_string(e.id) + "\"><td class=\"rank\">" + std::to_string(list.ranks[i]) +
             "</td><td class=\"name\">" + playerLink(e.name) + "</td><td class=\"num\"><a href=\"/play/" +
             std::to_string(e.id) + "\">" + std::to_string(e.score) + "</a></td><td class=\"num\">" +
             stageText(mode.mode, e.stage) + "</td><td class=\"date\">" + dateText(e.uploadedAt) +
             "</td><td class=\"comment\">" + html(e.comment) + "</td></tr>";
    }
    if (list.entries.empty()) s += "<tr><td colspan=\"6\" class=\"empty\">No plays yet.</td></tr>";
    return s + "</tbody></table>";
}

std::string figure(const char* label, const std::string& value) {
    return "<dt>" + std::string(label) + "</dt><dd>" + value + "</dd>";
}
}  // namespace

const std::vector<RankedMode>& rankedModes() {
    static const std::vector<RankedMode> modes = {
        {ModeFirstLap, 106, "1st lap"},
        {ModeSecondLap, 107, "2nd lap"},
        {ModeFirstLapOld, 104, "1st lap [old]"},
        {ModeSecondLapOld, 105, "2nd lap [old]"},
    };
    return modes;
}

const RankedMode* rankedModeOf(std::int32_t mode) {
    for (const RankedMode& m : rankedModes())
        if (m.mode == mode) return &m;
    return nullptr;
}

const RankedMode* rankedModeOfVersion(std::int32_t version) {
    for (const RankedMode& m : rankedModes())
        if (m.version == version) return &m;
    return nullptr;
}

std::string stageText(std::int32_t mode, std::int32_t stage) {
    return stage > lastStageOf(mode) ? "ALL" : std::to_string(stage);
}

std::string dateText(std::int64_t seconds) { return registDate(seconds); }

std::string frontPage(const std::vector<std::shared_ptr<const RankedList>>& lists) {
    std::string s = "<h1>Nimbulon ranking</h1>";
    for (std::size_t i = 0; i < rankedModes().size() && i < lists.size(); ++i) {
        const RankedMode& m = rankedModes()[i];
        s += "<section class=\"mode\" id=\"mode-" + std::to_string(m.mode) + "\"><h2><a href=\"/mode/" +
             std::to_string(m.mode) + "\">" + m.title + "</a></h2>" + table(m, *lists[i], 0, kTopEntries);
        if (lists[i]->entries.size() > kTopEntries)
            s += "<p class=\"more\"><a href=\"/mode/" + std::to_string(m.mode) + "\">All " +
                 std::to_string(lists[i]->entries.size()) + " entries</a></p>";
        s += "</section>";
    }
    return layout("Top plays", s);
}

std::size_t pageCount(const RankedList& list) {
    return list.entries.empty() ? 1 : (list.entries.size() + kPageEntries - 1) / kPageEntries;
}

std::string modePage(const RankedMode& mode, const RankedList& list, std::size_t page) {
    const std::size_t pages = pageCount(list);
    std::string s = "<h1>" + std::string(mode.title) + "</h1><p class=\"count\">" +
                    std::to_string(list.entries.size()) + " entries, page " + std::to_string(page) + " of " +
                    std::to_string(pages) + "</p>" + table(mode, list, (page - 1) * kPageEntries, kPageEntries);
    const std::string base = "/mode/" + std::to_string(mode.mode) + "?page=";
    s += "<nav class=\"pages\">";
    if (page > 1) s += "<a rel=\"prev\" href=\"" + base + std::to_string(page - 1) + "\">Previous</a>";
    if (page < pages) s += "<a rel=\"next\" href=\"" + base + std::to_string(page + 1) + "\">Next</a>";
    s += "</nav>";
    return layout(std::string(mode.title) + ", page " + std::to_string(page), s);
}

std::string playPage(const Storage::Play& play, std::int32_t rank) {
    const RankedMode* mode = rankedModeOf(play.mode);
    const std::string title = mode ? mode->title : "mode " + std::to_string(play.mode);
    std::string s = "<h1>" + playerLink(play.name) + " <span class=\"sub\">" + html(title) + ", rank " +
                    std::to_string(rank) + "</span></h1>";
    s += "<p class=\"comment\">" + html(play.comment) + "</p><dl class=\"figures\">";
    s += figure("Rank", std::to_string(rank));
    s += figure("Score", std::to_string(play.score));
    s += figure("Stage", stageText(play.mode, play.stage));
    s += figure("Lives left", std::to_string(play.lives));
    s += figure("Time", playTime(play.frames) + " (" + std::to_string(play.frames) + " frames)");
    s += figure("Date", dateText(play.uploadedAt));
    s += "</dl><p class=\"actions\"><a class=\"button\" href=\"/replay?id=" + std::to_string(play.id) +
         "\" download>Download the replay</a>"
         // The browser's player of the same play.
         " <a class=\"button\" href=\"/watch/" + std::to_string(play.id) + "\">Watch in the browser</a></p>";
    s += "<h2>The play</h2>";
    const std::optional<PlayChart> chart = PlayChart::fromText(play.chart, play.frames);
    if (!chart || chart->stageEnds.empty()) {
        s += "<p class=\"empty\">No chart for this play yet.</p>";
    } else {
        s += "<figure>" + chartSvg(*chart, lastStageOf(play.mode)) + "</figure>";
        s += "<table class=\"stages\"><thead><tr><th>Stage</th><th class=\"num\">Items</th>"
             "<th class=\"num\">Time</th><th class=\"num\">Lives lost</th></tr></thead><tbody>";
        PlayChart::Point from;
        for (std::size_t i = 0; i < chart->stageEnds.size(); ++i) {
            const PlayChart::Point to = chart->stageEnds[i];
            int lost = 0;
            for (const PlayChart::Point& p : chart->livesLost) lost += p.frame > from.frame && p.frame <= to.frame;
            const std::int32_t stage = static_cast<std::int32_t>(i + 1);
            s += "<tr><td>" + (stage > lastStageOf(play.mode) ? std::string("end") : std::to_string(stage)) +
                 "</td><td class=\"num\">" + std::to_string(to.items - from.items) + "</td><td class=\"num\">" +
                 playTime(to.frame - from.frame) + "</td><td class=\"num\">" + std::to_string(lost) + "</td></tr>";
            from = to;
        }
        s += "</tbody></table>";
    }
    return layout(play.name + ", " + title, s);
}

std::string playerPage(const std::string& name, const std::vector<PlayerEntry>& entries) {
    std::string s = "<h1>" + html(name) + "</h1>";
    if (entries.empty()) s += "<p class=\"empty\">No ranked plays.</p>";
    else {
        s += "<table class=\"ranking player\"><thead><tr><th class=\"mode\">Mode</th><th class=\"rank\">Rank</th><th class=\"num\">Score</th>"
             "<th class=\"num\">Stage</th><th class=\"date\">Date</th><th class=\"comment\">Comment</th></tr></thead><tbody>";
        for (const PlayerEntry& p : entries)
            s += "<tr data-id=\"" + std::to_string(p.entry->id) + "\"><td><a href=\"/mode/" + std::to_string(p.mode->mode) +
                 "\">" + p.mode->title + "</a></td><td class=\"rank\">" + std::to_string(p.rank) +
                 "</td><td class=\"num\"><a href=\"/play/" + std::to_string(p.entry->id) + "\">" +
                 std::to_string(p.entry->score) + "</a></td><td class=\"num\">" +
                 stageText(p.mode->mode, p.entry->stage) + "</td><td class=\"date\">" + dateText(p.entry->uploadedAt) +
                 "</td><td class=\"comment\">" + html(p.entry->comment) + "</td></tr>";
        s += "</tbody></table>";
    }
    return layout(name, s);
}

std::string errorPage(unsigned status, const std::string& message) {
    return layout(std::to_string(status), "<h1>" + html(message) + "</h1><p><a href=\"/\">The ranking</a></p>");
}

const std::string& icon() {
    static const std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 16 16\"><rect width=\"16\" height=\"16\" fill=\"#0d1020\"/>"
        "<path d=\"M8 2 L13 13 L8 10 L3 13 Z\" fill=\"#ffd050\"/></svg>";
    return svg;
}

const std::string& styleSheet() {
    static const std::string css = R"(*{box-sizing:border-box}
body{margin:0;font:16px/1.45 system-ui,sans-serif;background:#0d1020;color:#e8e8f0}
a{color:#8fc8ff}
header,footer{padding:.6em 1em;background:#181c34}
footer{font-size:.85em;color:#a0a4c0;margin-top:2em}
.home{font-weight:bold;text-decoration:none;color:#fff}
main{max-width:1100px;margin:0 auto;padding:0 .75em}
h1{font-size:1.6em;margin:.6em 0}
h2{font-size:1.25em;margin:1.2em 0 .4em}
.sub{font-size:.65em;color:#a0a4c0;font-weight:normal}
table{border-collapse:collapse;width:100%}
th,td{padding:.3em .45em;text-align:left;border-bottom:1px solid #2a2f50;vertical-align:top}
th{color:#a0a4c0;font-weight:normal;font-size:.85em}
.num,.rank{text-align:right;white-space:nowrap}
.date{white-space:nowrap;color:#c0c4dc}
td.comment,p.comment{overflow-wrap:anywhere;white-space:pre-wrap}
.name{overflow-wrap:anywhere;white-space:pre-wrap}
.more,.count{color:#a0a4c0}
.pages a,.button{display:inline-block;margin:.3em .5em .3em 0;padding:.35em .8em;border:1px solid #4a5080;border-radius:4px;text-decoration:none}
dl.figures{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}
dt{color:#a0a4c0}dd{margin:0}
figure{margin:0}
svg.chart{width:100%;height:auto;background:#11152a}
.band0{fill:#161b36}.band1{fill:#1d2346}
.stage-boundary{stroke:#6a70a0;stroke-dasharray:4 3}
.axis{stroke:#6a70a0}
.tick,.stage-label{fill:#a0a4c0;font-size:13px}
.items{fill:none;stroke:#ffd050;stroke-width:2.5}
.life-lost line{stroke:#ff5060;stroke-width:1.5;stroke-dasharray:2 2}
.life-lost circle{fill:#ff5060;stroke:#fff;stroke-width:1.5}
.empty{color:#a0a4c0}
@media (min-width:641px){
table.ranking{table-layout:fixed}
th.rank{width:4rem}th.name{width:8rem}th.num{width:5rem}th.date{width:10.5rem}th.mode{width:9rem}
}
table.stages{max-width:36em}
@media (max-width:640px){
body{font-size:15px}
main{padding:0 .4em}
table.ranking thead{display:none}
table.ranking tr{display:grid;grid-template-columns:2.4em 1fr auto 2.8em;column-gap:.4em;border-bottom:1px solid #2a2f50;padding:.25em 0}
table.ranking.player tr{grid-template-columns:1fr 2.4em auto 2.8em}
table.ranking td{border:0;padding:.05em .2em}
table.ranking td.date{grid-column:2/5;font-size:.85em}
table.ranking td.comment{grid-column:2/5}
table.ranking td.empty{grid-column:1/5}
.tick,.stage-label{font-size:24px}
.items{stroke-width:4}
.life-lost circle{r:10}
}
)";
    return css;
}
}  // namespace webpages
