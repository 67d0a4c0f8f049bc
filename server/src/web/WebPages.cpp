#include "web/WebPages.h"
#include "core/PlayChart.h"
#include "web/ContentEncoding.h"
#include "web/WebChart.h"
#include "web/WebText.h"
#include "records/GameMode.h"

namespace webpages {
namespace {
using webtext::html;

// A page: its title, a sentence for the description and preview tags, the main content and the
// address of the same data as JSON (the footer's link).
std::string layout(const std::string& title, const std::string& description, const std::string& main,
                   const std::string& json) {
    static const std::string css = versionedAddress("/style.css", styleSheet()), svg = versionedAddress("/favicon.svg", icon());
    const std::string fullTitle = html(title) + " - Nimbulon ranking";
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
           "<title>" + fullTitle + "</title><meta name=\"description\" content=\"" + html(description) + "\">"
           "<meta property=\"og:type\" content=\"website\"><meta property=\"og:site_name\" content=\"Nimbulon ranking\">"
           "<meta property=\"og:title\" content=\"" + fullTitle + "\"><meta property=\"og:description\" content=\"" +
           html(description) + "\"><meta name=\"twitter:card\" content=\"summary\"><meta name=\"twitter:title\" content=\"" +
           fullTitle + "\"><meta name=\"twitter:description\" content=\"" + html(description) + "\">"
           "<link rel=\"stylesheet\" href=\"" + css + "\"><link rel=\"icon\" href=\"" + svg + "\">"
           "<link rel=\"alternate\" type=\"application/json\" href=\"" + html(json) + "\"></head>"
           "<body><header><a class=\"home\" href=\"/\">Nimbulon ranking</a><nav><a href=\"/about\">About</a> "
           "<a href=\"/api\">API</a></nav>" + searchForm() + "</header><main>" + main +
           "</main><footer>Every play here was re-simulated by the server. <a class=\"json\" href=\"" + html(json) +
           "\">This page as JSON</a></footer></body></html>\n";
}

std::string playerLink(const std::string& name) {
    return "<a href=\"/player/" + webtext::percentEncode(name) + "\" dir=\"auto\">" + html(name) + "</a>";
}

// One list as a table; first: the rank of the first row shown is entries[first]. Each row is
// linkable (#rank-N), names and comments are cut with an ellipsis where they do not fit (whole on
// their own page), and on a phone the header stays as the labels of the same grid as the rows.
std::string table(const RankedMode& mode, const RankedList& list, std::size_t first, std::size_t count) {
    std::string s = "<table class=\"ranking\"><thead><tr><th class=\"rank\">Rank</th><th class=\"name\">Name</th>"
                    "<th class=\"num\">Score</th><th class=\"num stage\">Stage</th><th class=\"date\">Date</th>"
                    "<th class=\"comment\">Comment</th></tr></thead><tbody>";
    for (std::size_t i = first; i < list.entries.size() && i < first + count; ++i) {
        const Storage::Entry& e = list.entries[i];
        s += "<tr id=\"row-" + std::to_string(i + 1) + "\" data-id=\"" + std::to_string(e.id) + "\"><td class=\"rank\">" +
             "<a href=\"#row-" + std::to_string(i + 1) + "\">" + std::to_string(list.ranks[i]) +
             "</a></td><td class=\"name\">" + playerLink(e.name) + "</td><td class=\"num\"><a href=\"/play/" +
             std::to_string(e.id) + "\">" + std::to_string(e.score) + "</a></td><td class=\"num stage\">" +
             stageText(mode.mode, e.stage) + "</td><td class=\"date\">" + dateText(e.uploadedAt) +
             "</td><td class=\"comment\" dir=\"auto\">" + html(e.comment) + "</td></tr>";
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
    std::string described;
    for (std::size_t i = 0; i < rankedModes().size() && i < lists.size(); ++i) {
        const RankedMode& m = rankedModes()[i];
        s += "<section class=\"mode\" id=\"mode-" + std::to_string(m.mode) + "\"><h2><a href=\"/mode/" +
             std::to_string(m.mode) + "\">" + m.title + "</a></h2>" + table(m, *lists[i], 0, kTopEntries);
        if (lists[i]->entries.size() > kTopEntries)
            s += "<p class=\"more\"><a href=\"/mode/" + std::to_string(m.mode) + "\">All " +
                 std::to_string(lists[i]->entries.size()) + " entries</a></p>";
        s += "</section>";
        if (!lists[i]->entries.empty())
            described += std::string(described.empty() ? " Records: " : ", ") + m.title + " " +
                         std::to_string(lists[i]->entries[0].score) + " by " + lists[i]->entries[0].name;
    }
    return layout("Top plays", "The best plays of Nimbulon's four ranked modes, each one re-simulated by the server." + described,
                  s, "/api/ranking?mode=4");
}

std::size_t pageCount(const RankedList& list) {
    return list.entries.empty() ? 1 : (list.entries.size() + kPageEntries - 1) / kPageEntries;
}

std::string modePage(const RankedMode& mode, const RankedList& list, std::size_t page) {
    const std::size_t pages = pageCount(list);
    const std::string number = std::to_string(mode.mode);
    std::string s = "<h1>" + std::string(mode.title) + "</h1><p class=\"count\">" + modeDescription(mode) + " " +
                    std::to_string(list.entries.size()) + " entries, page " + std::to_string(page) + " of " +
                    std::to_string(pages) + ".</p>" + table(mode, list, (page - 1) * kPageEntries, kPageEntries);
    // Every page by its number (the first, the last and those near this one; a gap between).
    const std::string base = "/mode/" + number + "?page=";
    s += "<nav class=\"pages\" aria-label=\"Pages\">";
    if (page > 1) s += "<a rel=\"prev\" href=\"" + base + std::to_string(page - 1) + "\">Previous</a>";
    bool gap = false;
    for (std::size_t k = 1; k <= pages; ++k) {
        if (k != 1 && k != pages && (k + 2 < page || k > page + 2)) {
            if (!gap) s += "<span class=\"gap\">\u2026</span>";
            gap = true;
            continue;
        }
        gap = false;
        s += k == page ? "<a class=\"current\" aria-current=\"page\" href=\"" + base + std::to_string(k) + "\">" + std::to_string(k) + "</a>"
                       : "<a href=\"" + base + std::to_string(k) + "\">" + std::to_string(k) + "</a>";
    }
    if (page < pages) s += "<a rel=\"next\" href=\"" + base + std::to_string(page + 1) + "\">Next</a>";
    s += "</nav>";
    if (!list.entries.empty())
        s += "<form class=\"jump\" method=\"get\" action=\"/mode/" + number + "\"><label>Go to rank <input name=\"rank\" "
             "type=\"number\" min=\"1\" max=\"" + std::to_string(list.ranks.back()) + "\" required></label> <button>Go</button></form>";
    return layout(std::string(mode.title) + ", page " + std::to_string(page),
                  std::string(mode.title) + ": " + std::to_string(list.entries.size()) + " ranked plays." +
                      (list.entries.empty() ? "" : " The record: " + std::to_string(list.entries[0].score) + " by " + list.entries[0].name + "."),
                  s, "/api/ranking?mode=" + number + "&page=" + std::to_string(page) + "&per_page=" + std::to_string(kPageEntries));
}

std::size_t pageOfRank(const RankedList& list, std::int32_t rank, std::size_t& row) {
    for (std::size_t i = 0; i < list.ranks.size(); ++i)
        if (list.ranks[i] >= rank) {
            row = i + 1;
            return i / kPageEntries + 1;
        }
    return 0;
}

std::string playPage(const Storage::Play& play, std::int32_t rank) {
    const RankedMode* mode = rankedModeOf(play.mode);
    const std::string title = mode ? mode->title : "mode " + std::to_string(play.mode);
    const std::string standing = rank > 0 ? "rank " + std::to_string(rank) : "superseded";
    std::string s = "<h1>" + playerLink(play.name) + " <span class=\"sub\">" + html(title) + ", " + standing +
                    "</span></h1>";
    if (play.supersededBy != 0) {
        const std::string next = std::to_string(play.supersededBy);
        s += "<p class=\"superseded\">This play was superseded by <a href=\"/play/" + next + "\">#" + next +
             "</a>, a better play of the same player. It is kept here, with its replay, but is no longer ranked.</p>";
    }
    s += "<p class=\"comment\" dir=\"auto\">" + html(play.comment) + "</p><dl class=\"figures\">";
    if (rank > 0) s += figure("Rank", std::to_string(rank));
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
    return layout(play.name + ", " + title,
                  play.name + "'s play of " + title + ": " + std::to_string(play.score) + " items, " +
                      (rank > 0 ? "rank " + std::to_string(rank) : std::string("superseded by a better play")) + ".",
                  s, "/api/play/" + std::to_string(play.id));
}

std::string playerPage(const std::string& name, const std::vector<PlayerEntry>& entries,
                       const std::vector<Storage::Play>& history) {
    std::string s = "<h1>" + html(name) + "</h1><h2>Best of each mode</h2>";
    if (entries.empty()) s += "<p class=\"empty\">No ranked plays.</p>";
    else {
        s += "<table class=\"ranking player\"><thead><tr><th class=\"mode\">Mode</th><th class=\"rank\">Rank</th><th class=\"num\">Score</th>"
             "<th class=\"num\">Stage</th><th class=\"date\">Date</th><th class=\"comment\">Comment</th></tr></thead><tbody>";
        for (const PlayerEntry& p : entries)
            s += "<tr data-id=\"" + std::to_string(p.entry->id) + "\"><td class=\"mode\"><a href=\"/mode/" + std::to_string(p.mode->mode) +
                 "\">" + p.mode->title + "</a></td><td class=\"rank\">" + std::to_string(p.rank) +
                 "</td><td class=\"num\"><a href=\"/play/" + std::to_string(p.entry->id) + "\">" +
                 std::to_string(p.entry->score) + "</a></td><td class=\"num\">" +
                 stageText(p.mode->mode, p.entry->stage) + "</td><td class=\"date\">" + dateText(p.entry->uploadedAt) +
                 "</td><td class=\"comment\" dir=\"auto\">" + html(p.entry->comment) + "</td></tr>";
        s += "</tbody></table>";
    }
    // Every play kept, newest first: how the player got where they stand.
    s += "<h2>History</h2><table class=\"ranking history\"><thead><tr><th class=\"date\">Date</th><th class=\"mode\">Mode</th>"
         "<th class=\"num\">Score</th><th class=\"num\">Stage</th><th class=\"status\">Status</th></tr></thead><tbody>";
    for (auto it = history.rbegin(); it != history.rend(); ++it) {
        const Storage::Play& p = *it;
        const RankedMode* mode = rankedModeOf(p.mode);
        const std::string status = p.supersededBy != 0 ? "superseded by <a href=\"/play/" + std::to_string(p.supersededBy) +
                                                             "\">#" + std::to_string(p.supersededBy) + "</a>"
                                                       : std::string("best");
        s += "<tr data-id=\"" + std::to_string(p.id) + "\"><td class=\"date\">" + dateText(p.uploadedAt) + "</td><td class=\"mode\">" +
             (mode ? mode->title : "") + "</td><td class=\"num\"><a href=\"/play/" + std::to_string(p.id) + "\">" +
             std::to_string(p.score) + "</a></td><td class=\"num\">" + stageText(p.mode, p.stage) +
             "</td><td class=\"status\">" + status + "</td></tr>";
    }
    s += "</tbody></table>";
    return layout(name, name + "'s plays of Nimbulon: the best of each mode and every play kept.", s,
                  "/api/player/" + webtext::percentEncode(name));
}

std::string errorPage(unsigned status, const std::string& message) {
    return layout(std::to_string(status) + " " + message, message,
                  "<h1>" + html(message) + "</h1><p>Try <a href=\"/\">the ranking's front page</a>, "
                  "<a href=\"/about\">what the modes are</a>, or a search by name:</p>" + searchForm(),
                  "/api");
}

std::string modeDescription(const RankedMode& mode) {
    const bool second = mode.mode == ModeSecondLap || mode.mode == ModeSecondLapOld;
    const bool old = mode.mode == ModeFirstLapOld || mode.mode == ModeSecondLapOld;
    return std::string(second ? "Stages 1 to 5, offered once the first lap is cleared" : "Stages 1 to 4") +
           (old ? ", on the older stage scripts, enemies and bosses." : ".");
}

std::string aboutPage() {
    std::string s = "<h1>About this ranking</h1><p>Nimbulon is a vertical shoot-'em-up. A play's score is the items its "
                    "ship collected; the list ranks each player's best play of each mode, equal scores sharing a rank, "
                    "the earlier play first.</p><h2>The modes</h2><table class=\"modes\"><thead><tr><th>Mode</th>"
                    "<th>What is played</th><th class=\"num\">API</th></tr></thead><tbody>";
    for (const RankedMode& m : rankedModes())
        s += "<tr><td><a href=\"/mode/" + std::to_string(m.mode) + "\">" + m.title + "</a></td><td>" + modeDescription(m) +
             "</td><td class=\"num\">mode=" + std::to_string(m.mode) + "</td></tr>";
    s += "</tbody></table><p>\"ALL\" in the Stage column is a play that cleared every stage of its lap.</p>"
         "<h2>How plays are checked</h2><p>The game uploads the replay of a play, not its score. The server plays the "
         "replay again with the game's own simulation, in a sandboxed process, and ranks the score that re-simulation "
         "gives, never the one the upload claims. A play that differs from what its file says, that used the pause "
         "menu's stage select, or that is another player's play sent again is not ranked.</p>"
         "<h2>History</h2><p>A player's better play takes the place of the earlier one in the list; the earlier one "
         "stays, with its page, replay and viewer, marked as superseded.</p>"
         "<p>The same data is open as JSON: see <a href=\"/api\">the API</a>.</p>";
    return layout("About", "What Nimbulon's ranked modes are and how the server checks every play.", s, "/api");
}

std::string searchPage(const std::string& query, const std::vector<std::string>& names, bool more) {
    std::string s = "<h1>Players named like \u201c" + html(query) + "\u201d</h1>";
    if (names.empty()) s += "<p class=\"empty\">No ranked player has a name with \u201c" + html(query) + "\u201d in it.</p>";
    else {
        s += "<ul class=\"players\">";
        for (const std::string& n : names) s += "<li>" + playerLink(n) + "</li>";
        s += "</ul>";
        if (more) s += "<p class=\"more\">Only the first " + std::to_string(names.size()) + " are shown: try a longer name.</p>";
    }
    return layout("Search", "Players of the Nimbulon ranking whose name holds " + query + ".", s,
                  "/api/search?name=" + webtext::percentEncode(query));
}

std::string referencePage() {
    struct Call {
        const char* address;
        const char* what;
    };
    static const Call calls[] = {
        {"/api/ranking?mode=4&page=1&per_page=50",
         "One page of a mode's list (mode 2 to 5, as the pages number them; per_page 1 to 1000, 50 when not given): "
         "version, mode, title, total, page, per_page, pages, and entries of rank, username, score, stage, stage_text, "
         "regist_date, uploaded_at (seconds since 1970), id and comment."},
        {"/api/ranking?version=106", "The whole list of a replay version (104 to 107), as the game reads it, without the paging's figures."},
        {"/api/play/1",
         "One play: its figures, lives, frames, rank (null once superseded), superseded_by (the play that replaced it, "
         "or null), the addresses of its replay, page and viewer, and its chart (stage ends, lives lost, item samples)."},
        {"/api/player/NAME", "A player's best of each mode (mode, version, rank, id, score, stage) and every play kept, oldest first."},
        {"/api/search?name=ab", "The listed players whose name holds the text (1 to 8 characters, any case), at most 50."},
    };
    std::string s = "<h1>The ranking's JSON</h1><p>Everything the pages show is open as JSON, in UTF-8, to scripts of any "
                    "origin (CORS: <code>Access-Control-Allow-Origin: *</code>). Each answer carries an ETag: sent back in "
                    "<code>If-None-Match</code>, it is answered 304 while the data is unchanged. Errors are JSON too: "
                    "<code>{\"status\":404,\"error\":\"...\"}</code>.</p><dl class=\"api\">";
    for (const Call& c : calls)
        s += "<dt><a href=\"" + html(c.address) + "\"><code>GET " + html(c.address) + "</code></a></dt><dd>" + html(c.what) + "</dd>";
    s += "</dl><h2>Example</h2><pre><code>fetch(\"" + html("https://this-server/api/ranking?mode=5&per_page=10") +
         "\")\n  .then(r =&gt; r.json())\n  .then(list =&gt; list.entries.forEach(e =&gt;\n    console.log(e.rank, e.username, e.score)));</code></pre>"
         "<p>A replay's file is at <code>/replay?id=ID</code>; the modes are described on <a href=\"/about\">the about page</a>.</p>";
    return layout("API", "The Nimbulon ranking's open JSON interface: lists, plays and players.", s, "/api/ranking?mode=4");
}

std::string searchForm() {
    return "<form class=\"search\" method=\"get\" action=\"/search\" role=\"search\"><input name=\"name\" "
           "type=\"search\" maxlength=\"8\" placeholder=\"Player name\" aria-label=\"Player name\" required> "
           "<button>Search</button></form>";
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
header{display:flex;flex-wrap:wrap;align-items:center;gap:.4em 1em}
header nav a{margin-right:.8em}
footer{font-size:.85em;color:#a0a4c0;margin-top:2em}
.home{font-weight:bold;text-decoration:none;color:#fff}
form.search{margin-left:auto}
input,button{font:inherit;background:#11152a;color:#e8e8f0;border:1px solid #4a5080;border-radius:4px;padding:.2em .45em}
input[type=search]{width:9em}input[type=number]{width:6em}
button{cursor:pointer}
main{max-width:1100px;margin:0 auto;padding:0 .75em}
h1{font-size:1.6em;margin:.6em 0;overflow-wrap:anywhere}
h2{font-size:1.25em;margin:1.2em 0 .4em}
.sub{font-size:.65em;color:#a0a4c0;font-weight:normal}
table{border-collapse:collapse;width:100%}
th,td{padding:.3em .45em;text-align:left;border-bottom:1px solid #2a2f50;vertical-align:top}
th{color:#a0a4c0;font-weight:normal;font-size:.85em}
.num,.rank{text-align:right;white-space:nowrap}
.date{white-space:nowrap;color:#c0c4dc}
td.name,td.comment{white-space:nowrap;overflow:hidden;text-overflow:ellipsis;max-width:0}
td.rank a{color:inherit;text-decoration:none}
tr:target{background:#2a2f60}
p.comment{overflow-wrap:anywhere;white-space:pre-wrap}
p.superseded{border-left:4px solid #ffd050;padding:.3em .7em;background:#1d2346}
.more,.count{color:#a0a4c0}
.pages a,.button{display:inline-block;margin:.3em .5em .3em 0;padding:.35em .8em;border:1px solid #4a5080;border-radius:4px;text-decoration:none}
.pages a.current{background:#2a2f60;color:#fff}
.gap{margin-right:.5em;color:#a0a4c0}
form.jump{margin:.5em 0}
dl.figures{display:grid;grid-template-columns:max-content 1fr;gap:.2em 1em}
dt{color:#a0a4c0}dd{margin:0}
dl.api dt{margin-top:.8em}dl.api dd{color:#c0c4dc}
pre{background:#11152a;padding:.6em;overflow-x:auto}
ul.players{columns:12em}
figure{margin:0}
svg.chart{width:100%;height:auto;background:#11152a}
.band0{fill:#161b36}.band1{fill:#1d2346}
.stage-boundary,.legend-boundary{stroke:#6a70a0;stroke-dasharray:4 3;stroke-width:1.5}
.axis{stroke:#6a70a0}
.tick,.stage-label,.legend-text{fill:#a0a4c0;font-size:13px}
.axis-title{fill:#c0c4dc;font-size:14px}
.items{fill:none;stroke:#ffd050;stroke-width:2.5}
.life-lost line{stroke:#ff5060;stroke-width:1.5;stroke-dasharray:2 2}
.life-lost circle,.legend-life{fill:#ff5060;stroke:#fff;stroke-width:1.5}
.empty{color:#a0a4c0}
@media (min-width:641px){
table.ranking{table-layout:fixed}
th.rank{width:4rem}th.name{width:8rem}th.num{width:5rem}th.date{width:10.5rem}th.mode{width:9rem}th.status{width:12rem}
}
table.stages{max-width:36em}
@media (max-width:640px){
body{font-size:15px}
main{padding:0 .4em}
form.search{margin-left:0}
table.ranking tr{display:grid;grid-template-columns:2.6em minmax(0,1fr) 4.6em 2.8em;column-gap:.4em;border-bottom:1px solid #2a2f50;padding:.25em 0}
table.ranking th,table.ranking td{border:0;padding:.05em .2em;max-width:none}
table.ranking .date{grid-column:2/4;font-size:.85em}
table.ranking .comment{grid-column:2/5;font-size:.9em}
table.ranking thead .date,table.ranking thead .comment{display:none}
table.ranking td.empty{grid-column:1/5}
table.ranking.player tr{grid-template-columns:minmax(0,1fr) 2.6em 4.6em 2.8em}
table.ranking.player .date{grid-column:1/3}
table.ranking.player .comment{grid-column:1/5}
table.ranking.history tr{grid-template-columns:minmax(0,1fr) 4.6em 2.8em}
table.ranking.history .date{grid-column:1/2;grid-row:2}
table.ranking.history .mode{grid-column:1/2;grid-row:1}
table.ranking.history .status{grid-column:2/4;grid-row:2;text-align:right;font-size:.85em}
table.ranking.history thead .status{display:none}
.tick,.stage-label,.legend-text{font-size:24px}
.axis-title{font-size:24px}
.items{stroke-width:4}
.life-lost circle{r:10}
}
)";
    return css;
}
}  // namespace webpages
