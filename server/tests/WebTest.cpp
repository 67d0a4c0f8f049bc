#include <gtest/gtest.h>
#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include "storage/ChartBackfill.h"
#include "storage/Moderation.h"
#include "PgCluster.h"
#include "core/PlayChart.h"
#include "storage/RankingList.h"
#include "checks/ReplayChecker.h"
#include "checks/Resimulation.h"
#include "storage/Storage.h"
#include "web/WebChart.h"
#include "web/WebSite.h"
#include "web/WebText.h"

namespace {
namespace fs = std::filesystem;

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = 0; (at = text.find(what, at)) != std::string::npos; at += what.size()) ++n;
    return n;
}

TEST(WebText, PlayersTextIsShownAsSentAndCannotBecomeMarkupOrScript) {
    struct Case {
        const char* typed;
        const char* html;
        const char* json;
    };
    const Case cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;",
         "\"\\u003cscript\\u003ealert(1)\\u003c/script\\u003e\""},
        {"\"><img src=x onerror=alert(1)>", "&quot;&gt;&lt;img src=x onerror=alert(1)&gt;",
         "\"\\\"\\u003e\\u003cimg src=x onerror=alert(1)\\u003e\""},
        {"a'b&c\\d", "a&#39;b&amp;c\\d", "\"a'b\\u0026c\\\\d\""},
        {"\xe6\x97\xa5\xe6\x9c\xac", "\xe6\x97\xa5\xe6\x9c\xac", "\"\xe6\x97\xa5\xe6\x9c\xac\""},  // kept as UTF-8
        // Bytes that are not UTF-8 (a stray continuation, an overlong '<', a surrogate) and a
        // control character: each one a replacement character, never what a decoder might guess.
        {"x\x80y\xc0\xbcz\xed\xa0\x80\x01", "x\xef\xbf\xbdy\xef\xbf\xbd\xef\xbf\xbdz\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd",
         "\"x\xef\xbf\xbdy\xef\xbf\xbd\xef\xbf\xbdz\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\\u0001\""},
        {"\xe2\x80\xa8", "\xe2\x80\xa8", "\"\\u2028\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(webtext::html(c.typed), c.html) << c.typed;
        EXPECT_EQ(webtext::json(c.typed), c.json) << c.typed;
    }
    EXPECT_EQ(webtext::percentEncode("a b/<%"), "a%20b%2F%3C%25");
    EXPECT_EQ(webtext::fileSafe("../x\"y z"), "xyz");
}

TEST(PlayChartText, RoundTripsAndRefusesWhatTheCheckCouldNotHaveWritten) {
    const PlayChart chart{{{3600, 40}, {7300, 95}, {7400, 95}}, {{1000, 12}, {5000, 60}}, 120, {0, 7, 40}};
    EXPECT_EQ(chart.toText(), "S 3600/40 7300/95 7400/95 L 1000/12 5000/60 P 120 0 7 40");
    EXPECT_EQ(PlayChart::fromText(chart.toText(), 7400), chart);
    EXPECT_TRUE(PlayChart::fromText("S L P 60", 0));
    for (const char* bad : {"", "S 10/1 L P 0", "S 10/1 L P", "S 10/-1 L P 60", "S 20/1 10/1 L P 60", "S 1/1 L 5/1 P 60 x",
                            "S 1x/1 L P 60", "S 1/1 L 9/1 3/1 P 60", "Q 1/1 L P 60", "S 1/1 L P 60 99999999999"})
        EXPECT_FALSE(PlayChart::fromText(bad, 1 << 30)) << bad;
    std::string many = "S L P 60";
    for (int i = 0; i <= 512; ++i) many += " 1";
    EXPECT_FALSE(PlayChart::fromText(many, 1 << 30)) << "more samples than a recorder keeps";
}

// Every figure of a chart lies within the play's frames, so nothing drawn from it can run past
// them, however near 2^31 they are.
TEST(PlayChartText, NoPointOrSamplePastThePlaysFrames) {
    const struct {
        const char* text;
        std::int32_t frames;
        bool taken;
    } cases[] = {
        {"S 7400/95 L P 60", 7400, true},
        {"S 7400/95 L P 60", 7399, false},                       // a stage ends after the play
        {"S 100/1 L 101/1 P 60", 100, false},                    // a life lost after it
        {"S 120/1 L P 60 1 2", 120, true},                       // the last sample on the last frame
        {"S 120/1 L P 60 1 2", 119, false},
        {"S L P 2147483647 1", 2147483647, true},
        {"S L P 2147483647 1 1", 2147483647, false},             // its frame would wrap an int round
        {"S 2147483647/1 L 2147483647/1 P 60", 2147483647, true},
    };
    for (const auto& c : cases) EXPECT_EQ(PlayChart::fromText(c.text, c.frames).has_value(), c.taken) << c.text << " / " << c.frames;

    // Drawn at the very end of the range: the time axis ends, with a handful of ticks.
    const PlayChart longest = *PlayChart::fromText("S 2147483647/9 L 2147483000/3 P 2147483647 4", 2147483647);
    const std::string svg = chartSvg(longest, 4);
    EXPECT_GE(count(svg, "class=\"tick\""), 4u);
    EXPECT_LE(count(svg, "class=\"tick\""), 3u + 10u) << "three on the item axis, about eight on the time axis";
}

TEST(PlayChartRecorder, MarksStageEndsAndLivesLostAndKeepsALongPlayBounded) {
    PlayChartRecorder r;
    // Three stages; a life lost in the first, an extend, then two lost in the second.
    const int kFrames = 200000;
    for (int f = 1; f <= kFrames; ++f) {
        const int stage = f <= 50000 ? 1 : f <= 150000 ? 2 : 3;
        const int lives = f < 20000 ? 3 : f < 60000 ? 2 : f < 70000 ? 3 : f < 90000 ? 2 : 1;
        r.frame(f, stage, f / 100, lives);
    }
    const PlayChart c = r.finish();
    EXPECT_EQ(c.stageEnds, (std::vector<PlayChart::Point>{{50001, 500}, {150001, 1500}, {kFrames, kFrames / 100}}));
    EXPECT_EQ(c.livesLost, (std::vector<PlayChart::Point>{{20000, 200}, {70000, 700}, {90000, 900}}))
        << "the extend at 60000 is no loss";
    ASSERT_LE(c.samples.size(), PlayChart::kMaxSamples);
    ASSERT_GE(c.samples.size(), PlayChart::kMaxSamples / 2);
    for (std::size_t k = 0; k < c.samples.size(); ++k)
        ASSERT_EQ(c.samples[k], static_cast<std::int32_t>((k + 1) * c.step / 100)) << "sample " << k << " step " << c.step;
    EXPECT_TRUE(PlayChart::fromText(c.toText(), kFrames));
}

TEST(WebChart, DrawsEveryStageBoundaryAndEveryLifeLost) {
    const PlayChart chart{{{3600, 40}, {7200, 95}, {9000, 120}}, {{1000, 12}, {5000, 60}}, 60, {}};
    const std::string svg = chartSvg(chart, /*lastStage*/ 2);
    EXPECT_EQ(svg.rfind("<svg", 0), 0u);
    EXPECT_EQ(count(svg, "class=\"life-lost\""), 2u);
    EXPECT_NE(svg.find("data-frame=\"1000\""), std::string::npos);
    EXPECT_NE(svg.find("data-frame=\"5000\""), std::string::npos);
    EXPECT_EQ(count(svg, "class=\"stage-boundary\""), 2u) << "between three stages";
    EXPECT_NE(svg.find(">end</text>"), std::string::npos) << "the time after the last stage is the ending";
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    // A play that ended on its first frame draws without dividing by zero.
    EXPECT_EQ(chartSvg(PlayChart{{{0, 0}}, {}, 60, {}}, 4).find("nan"), std::string::npos);
    EXPECT_EQ(playTime(3 * 3600 + 59 * 60 + 59), "3:59");
}

TEST(ResimVerdictLine, CarriesTheChartAndDropsOneTheCheckCouldNotHaveWritten) {
    ResimVerdict v;
    v.kind = ResimVerdict::Match;
    v.score = 12;
    v.stages = 2;
    v.lives = 1;
    v.frames = 4021;
    v.chart = "S 3000/10 4021/12 L 2000/9 P 60 1 2";
    const ResimVerdict back = ResimVerdict::fromLine(v.toLine());
    EXPECT_TRUE(back.matches());
    EXPECT_EQ(back.chart, v.chart);
    EXPECT_EQ(back.frames, 4021);
    // A check without a chart, and one with a spoilt chart: the verdict stands, the chart is none.
    EXPECT_TRUE(ResimVerdict::fromLine("match 12 2 1 4021\n").matches());
    const ResimVerdict spoilt = ResimVerdict::fromLine("match 12 2 1 4021 S <script> L P 60\n");
    EXPECT_TRUE(spoilt.matches());
    EXPECT_EQ(spoilt.chart, "");
    const ResimVerdict past = ResimVerdict::fromLine("match 12 2 1 4021 S 3000/10 4022/12 L P 60\n");
    EXPECT_TRUE(past.matches());
    EXPECT_EQ(past.chart, "") << "a chart longer than the verdict's play";
}

// The site over a real SQLite file and the lists' cache.
class Site : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        char tmpl[] = "/tmp/nimbulon-web-XXXXXX";
        dir_ = mkdtemp(tmpl);
        storage_ = openStorage(dir_ + "/ranking.sqlite");
        lists_ = std::make_unique<RankingCache>(*storage_, std::chrono::hours(1));
        site_ = std::make_unique<WebSite>(*storage_, *lists_);
    }
    void TearDown() override {
        site_.reset();
        lists_.reset();
        storage_.reset();
        fs::remove_all(dir_);
    }
    void store(const std::string& name, std::int32_t score, std::int32_t mode = 4, const std::string& comment = "hi",
               const std::string& chart = "") {
        Storage::Play p = testpg::samplePlay(name, score, mode);
        p.comment = comment;
        p.chart = chart;
        if (!chart.empty()) p.frames = 5000;  // as long as the chart's play
        p.stage = mode == 4 ? 5 : 3;  // past the first lap's last stage: "ALL"
        ASSERT_EQ(storage_->store(p), Storage::Outcome::Stored);
        lists_->invalidate(p.version);
    }
    WebReply get(const std::string& path, std::map<std::string, std::string> query = {}) {
        return site_->get(path, [query](const char* key) -> const char* {
            const auto it = query.find(key);
            return it == query.end() ? nullptr : it->second.c_str();
        });
    }

    std::string dir_;
    std::unique_ptr<Storage> storage_;
    std::unique_ptr<RankingCache> lists_;
    std::unique_ptr<WebSite> site_;
};

TEST_F(Site, TheFrontPageShowsEachModesTopEntriesEscapedAndIsKeptUntilAListChanges) {
    store("a<b>", 30, 4, "<script>alert(1)</script>");
    store("bob", 30, 4, "\"><img src=x onerror=alert(1)>");
    store("carl", 10, 5, "second lap");
    const WebReply front = get("/");
    ASSERT_EQ(front.status, 200u);
    const std::string& html = *front.body;
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_EQ(html.find("<img"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find(">a&lt;b&gt;</a>"), std::string::npos);
    EXPECT_NE(html.find("href=\"/player/a%3Cb%3E\""), std::string::npos);
    // Equal scores share rank 1; the first lap's stage 5 is past its last stage.
    EXPECT_EQ(count(html, "\">1</a></td><td class=\"name\">"), 3u);
    EXPECT_EQ(count(html, "<td class=\"num stage\">ALL</td>"), 2u);
    EXPECT_EQ(count(html, "<td class=\"num stage\">3</td>"), 1u);
    EXPECT_EQ(count(html, "<section class=\"mode\""), 4u);

    EXPECT_EQ(get("/").body, front.body) << "made once while the lists stand";
    store("dan", 50);
    const WebReply after = get("/");
    EXPECT_NE(after.etag, front.etag);
    EXPECT_NE(after.body->find(">dan</a>"), std::string::npos);
}

TEST_F(Site, AModesWholeListComesInPagesAndWrongAddressesAreRefused) {
    for (int i = 0; i < 60; ++i) store("p" + std::to_string(i), 100 - i);
    const WebReply first = get("/mode/4");
    ASSERT_EQ(first.status, 200u);
    EXPECT_EQ(count(*first.body, " data-id="), 50u);
    EXPECT_NE(first.body->find("href=\"/mode/4?page=2\""), std::string::npos);
    const WebReply second = get("/mode/4", {{"page", "2"}});
    ASSERT_EQ(second.status, 200u);
    EXPECT_EQ(count(*second.body, " data-id="), 10u);
    EXPECT_NE(second.body->find("<tr id=\"row-51\" data-id="), std::string::npos);
    EXPECT_NE(second.body->find("<a href=\"#row-51\">51</a>"), std::string::npos);
    EXPECT_EQ(get("/mode/5").status, 200u) << "an empty list is a page too";
    for (const auto& [path, page] : std::vector<std::pair<std::string, std::string>>{
             {"/mode/1", ""}, {"/mode/6", ""}, {"/mode/4x", ""}, {"/mode/", ""}, {"/mode/04/", ""},
             {"/mode/4", "3"}, {"/mode/4", "0"}, {"/mode/4", "-1"}, {"/mode/4", "1e1"}, {"/nowhere", ""}}) {
        const WebReply r = page.empty() ? get(path) : get(path, {{"page", page}});
        EXPECT_EQ(r.status, 404u) << path << "?page=" << page;
        EXPECT_EQ(r.type, std::string("text/html; charset=utf-8"));
    }
}

TEST_F(Site, APlayAndAPlayerArePagesOnlyWhileTheListShowsThem) {
    store("eve", 40, 4, "mine", "S 3600/20 5000/40 L 1000/5 4000/30 P 60 1 2");
    store("eve", 20, 5, "lap two");
    store("zed", 10);
    const std::int64_t id = storage_->ranking(106).at(0).id;
    const WebReply play = get("/play/" + std::to_string(id));
    ASSERT_EQ(play.status, 200u);
    EXPECT_EQ(count(*play.body, "class=\"life-lost\""), 2u);
    EXPECT_NE(play.body->find("href=\"/replay?id=" + std::to_string(id) + "\""), std::string::npos);
    EXPECT_NE(play.body->find("href=\"/watch/" + std::to_string(id) + "\""), std::string::npos);
    const WebReply api = get("/api/play/" + std::to_string(id));
    ASSERT_EQ(api.status, 200u);
    EXPECT_EQ(api.type, std::string("application/json; charset=utf-8"));
    EXPECT_NE(api.body->find("\"lives_lost\":[{\"frame\":1000,\"items\":5},{\"frame\":4000,\"items\":30}]"),
              std::string::npos);
    const WebReply player = get("/player/eve");
    ASSERT_EQ(player.status, 200u);
    EXPECT_EQ(count(player.body->substr(0, player.body->find("<h2>History")), " data-id="), 2u) << "one entry per mode";
    // A banned name's plays leave the lists, and their pages go with them.
    openModeration(dir_ + "/ranking.sqlite")->setBanned("eve", true, "test");
    lists_->invalidate(106);
    lists_->invalidate(107);
    EXPECT_EQ(get("/play/" + std::to_string(id)).status, 404u);
    EXPECT_EQ(get("/api/play/" + std::to_string(id)).status, 404u);
    EXPECT_EQ(get("/player/eve").status, 404u);
    for (const char* path : {"/play/99", "/play/x", "/play/-1", "/play/1/2", "/play/99999999999999999999", "/player/nobody"})
        EXPECT_EQ(get(path).status, 404u) << path;
}

TEST_F(Site, ABeatenPlaysAddressesStayMarkedSupersededAndThePlayerPageShowsTheHistory) {
    store("kim", 10, 4, "first try");
    const std::int64_t first = storage_->ranking(106).at(0).id;
    store("kim", 25, 4, "better");
    const std::int64_t best = storage_->ranking(106).at(0).id;
    store("kim", 9, 5, "lap two");
    const WebReply old = get("/play/" + std::to_string(first));
    ASSERT_EQ(old.status, 200u);
    EXPECT_NE(old.body->find("superseded by <a href=\"/play/" + std::to_string(best) + "\">#" + std::to_string(best) + "</a>"),
              std::string::npos);
    EXPECT_NE(old.body->find("href=\"/replay?id=" + std::to_string(first) + "\""), std::string::npos);
    EXPECT_EQ(old.body->find("<dt>Rank</dt>"), std::string::npos) << "no rank for a play no list shows";
    const WebReply oldJson = get("/api/play/" + std::to_string(first));
    ASSERT_EQ(oldJson.status, 200u);
    EXPECT_NE(oldJson.body->find("\"superseded_by\":" + std::to_string(best) + ",\"rank\":null,"), std::string::npos);
    const WebReply now = get("/api/play/" + std::to_string(best));
    EXPECT_NE(now.body->find("\"superseded_by\":null,\"rank\":1,"), std::string::npos);
    EXPECT_EQ(get("/play/" + std::to_string(best)).body->find("superseded"), std::string::npos);

    const WebReply player = get("/player/kim");
    ASSERT_EQ(player.status, 200u);
    const std::string& html = *player.body;
    const std::size_t history = html.find("<h2>History</h2>");
    ASSERT_NE(history, std::string::npos);
    EXPECT_EQ(count(html.substr(0, history), " data-id="), 2u) << "the best of each mode";
    EXPECT_EQ(count(html.substr(history), " data-id="), 3u) << "every play kept";
    EXPECT_LT(html.find("data-id=\"" + std::to_string(best) + "\"", history),
              html.find("data-id=\"" + std::to_string(first) + "\"", history)) << "newest first";
    EXPECT_EQ(count(html.substr(history), ">best</td>"), 2u);

    // The mode's list still shows each player's best only.
    EXPECT_EQ(count(*get("/mode/4").body, " data-id="), 1u);
    // A banned name's history goes with its best.
    openModeration(dir_ + "/ranking.sqlite")->setBanned("kim", true, "test");
    lists_->invalidate(106);
    lists_->invalidate(107);
    EXPECT_EQ(get("/play/" + std::to_string(first)).status, 404u);
    EXPECT_EQ(get("/player/kim").status, 404u);
}

TEST_F(Site, TheJsonInterfaceGivesTheListsFieldsAndErrorsAsJson) {
    store("amy", 70, 4, "a \"quote\"");
    const WebReply list = get("/api/ranking", {{"version", "106"}});
    ASSERT_EQ(list.status, 200u);
    const std::int64_t id = storage_->ranking(106).at(0).id;
    EXPECT_EQ(*list.body, "{\"version\":106,\"mode\":4,\"title\":\"1st lap\",\"entries\":[\n{\"rank\":1,\"username\":\"amy\","
                          "\"score\":70,\"stage\":5,\"stage_text\":\"ALL\",\"regist_date\":\"2023/11/14 22:14\","
                          "\"uploaded_at\":1700000070,\"id\":" + std::to_string(id) +
                          ",\"comment\":\"a \\\"quote\\\"\"}]}\n");
    for (const auto& [path, version, status] : std::vector<std::tuple<std::string, std::string, unsigned>>{
             {"/api/ranking", "", 400}, {"/api/ranking", "103", 400}, {"/api/ranking", "106x", 400},
             {"/api/play/12345", "", 404}, {"/api/plays", "", 404}}) {
        const WebReply r = version.empty() ? get(path) : get(path, {{"version", version}});
        EXPECT_EQ(r.status, status) << path << " " << version;
        EXPECT_EQ(r.type, std::string("application/json; charset=utf-8"));
        EXPECT_EQ(r.body->rfind("{\"status\":" + std::to_string(status) + ",\"error\":\"", 0), 0u) << *r.body;
    }
}

TEST_F(Site, EachAddressHasOneFormAndEveryOtherIsA404PageOfItsKind) {
    store("una", 30);
    const std::string id = std::to_string(storage_->ranking(106).at(0).id);
    struct Case {
        std::string path;
        unsigned status;
        const char* type;
    };
    const Case cases[] = {
        {"/play/" + id, 200, "text/html; charset=utf-8"},
        {"/play/0" + id, 404, "text/html; charset=utf-8"},  // one address per play
        {"/play/+" + id, 404, "text/html; charset=utf-8"},
        {"/play/" + id + "%00", 404, "text/html; charset=utf-8"},  // as the server's unescaping leaves it
        {"/api/play/0" + id, 404, "application/json; charset=utf-8"},
        {"/nope", 404, "text/html; charset=utf-8"},
        {"/watch/abc", 404, "text/html; charset=utf-8"},
        {"/api/nope", 404, "application/json; charset=utf-8"},
        {"/api", 200, "text/html; charset=utf-8"},
        {"/about", 200, "text/html; charset=utf-8"},
        {"/robots.txt", 200, "text/plain; charset=utf-8"},
        {"/favicon.ico", 200, "image/svg+xml"},
    };
    for (const Case& c : cases) {
        const WebReply r = get(c.path);
        EXPECT_EQ(r.status, c.status) << c.path;
        EXPECT_EQ(r.type, std::string(c.type)) << c.path;
        ASSERT_TRUE(r.body) << c.path;
        if (c.status == 404 && std::string(c.type).rfind("text/html", 0) == 0)
            EXPECT_NE(r.body->find("<h1>No such"), std::string::npos) << c.path << " is a page, not an empty answer";
    }
    // /watch/ID of a play the site does not show is the 404 page before anything is loaded.
    EXPECT_FALSE(site_->missingPlay("/watch/" + id));
    for (const std::string& path : {std::string("/watch/999999"), "/watch/0" + id}) {
        const std::optional<WebReply> missing = site_->missingPlay(path);
        ASSERT_TRUE(missing) << path;
        EXPECT_EQ(missing->status, 404u);
        EXPECT_EQ(missing->body->find("<script"), std::string::npos);
    }
    EXPECT_FALSE(site_->missingPlay("/watch/player.js")) << "the player's files are not plays";
    EXPECT_NE(get("/robots.txt").body->find("Disallow: /replay"), std::string::npos);
}

TEST_F(Site, EachPageSaysWhatItIsAndLinksItsOwnJson) {
    store("vic", 30, 4, "\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d");  // a right-to-left comment
    const std::string id = std::to_string(storage_->ranking(106).at(0).id);
    const std::pair<std::string, std::string> pages[] = {
        {"/", "/api/ranking?mode=4"},
        {"/mode/5", "/api/ranking?mode=5&amp;page=1&amp;per_page=50"},
        {"/play/" + id, "/api/play/" + id},
        {"/player/vic", "/api/player/vic"},
        {"/about", "/api"},
    };
    for (const auto& [path, json] : pages) {
        const std::string& html = *get(path).body;
        EXPECT_NE(html.find("<a class=\"json\" href=\"" + json + "\">"), std::string::npos) << path;
        EXPECT_NE(html.find("<meta name=\"description\" content=\""), std::string::npos) << path;
        EXPECT_NE(html.find("<meta property=\"og:title\""), std::string::npos) << path;
        EXPECT_NE(html.find("<form class=\"search\" method=\"get\" action=\"/search\""), std::string::npos) << path;
    }
    EXPECT_NE(get("/play/" + id).body->find("<p class=\"comment\" dir=\"auto\">"), std::string::npos);
    EXPECT_NE(get("/").body->find("<td class=\"comment\" dir=\"auto\">"), std::string::npos);
    EXPECT_NE(WebSite::kSecurityPolicy, nullptr);
    EXPECT_NE(std::string(WebSite::kSecurityPolicy).find("form-action 'self'"), std::string::npos) << "the search form may be sent";
}

TEST_F(Site, SearchRankJumpsAndTheApisPagesFindWhatTheListHolds) {
    for (int i = 0; i < 120; ++i) store("p" + std::to_string(i), 1000 - i);
    store("Alice", 5);
    store("malice", 4);
    // Search: any case, the exact name first; a name nobody has is a page that says so.
    const WebReply found = get("/search", {{"name", "alice"}});
    ASSERT_EQ(found.status, 200u);
    EXPECT_LT(found.body->find(">Alice</a>"), found.body->find(">malice</a>"));
    EXPECT_NE(get("/search", {{"name", "zzz"}}).body->find("No ranked player"), std::string::npos);
    EXPECT_EQ(get("/search").status, 400u);
    EXPECT_EQ(get("/search", {{"name", "123456789"}}).status, 400u);
    const WebReply api = get("/api/search", {{"name", "P1"}});
    EXPECT_TRUE(api.cors);
    EXPECT_NE(api.body->find("{\"username\":\"p1\","), std::string::npos);
    EXPECT_NE(api.body->find("\"more\":false"), std::string::npos) << "p1, p10..p19, p100..p119: 31 names";

    // A rank goes to its page and row.
    for (const auto& [rank, location] : std::vector<std::pair<std::string, std::string>>{
             {"1", "/mode/4?page=1#row-1"}, {"51", "/mode/4?page=2#row-51"}, {"122", "/mode/4?page=3#row-122"}}) {
        const WebReply r = get("/mode/4", {{"rank", rank}});
        EXPECT_EQ(r.status, 302u) << rank;
        EXPECT_EQ(r.location, location) << rank;
    }
    for (const char* rank : {"0", "123", "x", "01"}) EXPECT_EQ(get("/mode/4", {{"rank", rank}}).status, 404u) << rank;
    // The numbered pages: the first, the last and those around the one shown.
    const std::string& second = *get("/mode/4", {{"page", "2"}}).body;
    EXPECT_NE(second.find("aria-current=\"page\" href=\"/mode/4?page=2\">2</a>"), std::string::npos);
    EXPECT_NE(second.find("href=\"/mode/4?page=3\">3</a>"), std::string::npos);

    // The API's pages, by mode as the pages number them; the version's whole list as before.
    struct Case {
        std::map<std::string, std::string> query;
        unsigned status;
        std::string holds;
    };
    const Case cases[] = {
        {{{"mode", "4"}}, 200, "\"total\":122,\"page\":1,\"per_page\":50,\"pages\":3,"},
        {{{"mode", "4"}, {"page", "3"}, {"per_page", "60"}}, 200, "\"page\":3,\"per_page\":60,\"pages\":3,\"entries\":[\n{\"rank\":121,"},
        {{{"version", "106"}, {"page", "2"}}, 200, "\"page\":2,\"per_page\":50,"},
        {{{"mode", "4"}, {"page", "4"}}, 404, "no such page"},
        {{{"mode", "4"}, {"per_page", "0"}}, 400, "per_page"},
        {{{"mode", "4"}, {"per_page", "1001"}}, 400, "per_page"},
        {{{"mode", "6"}}, 400, "mode must be"},
        {{{"mode", "04"}}, 400, "mode must be"},
        {{}, 400, "name the list"},
    };
    for (const Case& c : cases) {
        const WebReply r = get("/api/ranking", c.query);
        EXPECT_EQ(r.status, c.status) << c.holds;
        EXPECT_TRUE(r.cors);
        EXPECT_NE(r.body->find(c.holds), std::string::npos) << *r.body;
    }
    const std::string& page = *get("/api/ranking", {{"mode", "4"}, {"page", "3"}, {"per_page", "60"}}).body;
    EXPECT_EQ(count(page, "\"username\":"), 2u);
    EXPECT_EQ(get("/api/ranking", {{"version", "106"}}).body->find("\"page\""), std::string::npos);

    const WebReply player = get("/api/player/Alice");
    ASSERT_EQ(player.status, 200u);
    EXPECT_TRUE(player.cors);
    EXPECT_NE(player.body->find("\"best\":[\n{\"mode\":4,\"version\":106,\"rank\":121,"), std::string::npos) << *player.body;
    EXPECT_EQ(count(*player.body, "\"superseded_by\":null"), 1u);
    EXPECT_EQ(get("/api/player/nobody").status, 404u);
}

TEST(WebEtag, MatchesTheTagInAListOrAStar) {
    const std::string tag = etagOf("page");
    EXPECT_EQ(tag.size(), 18u);
    EXPECT_NE(tag, etagOf("page "));
    EXPECT_TRUE(etagMatches(tag.c_str(), tag));
    EXPECT_TRUE(etagMatches(("\"x\", W/" + tag).c_str(), tag));
    EXPECT_TRUE(etagMatches(" * ", tag));
    EXPECT_FALSE(etagMatches(nullptr, tag));
    EXPECT_FALSE(etagMatches("\"0000000000000000\"", tag));
}

// Plays stored before charts existed get theirs once, from a real check process.
TEST(ChartBackfill, PlaysStoredBeforeChartsAreReSimulatedOnce) {
    char tmpl[] = "/tmp/nimbulon-charts-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string path = dir + "/ranking.sqlite";
    fs::copy_file(NIMBULON_SOURCE_DIR "/server/tests/data/ranking-before-versions.sqlite", path);
    {
        std::unique_ptr<Storage> storage = openStorage(path);
        const std::vector<std::int64_t> waiting = storage->playsWithoutChart();
        ASSERT_FALSE(waiting.empty());
        EXPECT_EQ(storage->playsWithoutPath(), waiting) << "stored before paths too";
        const ReplayChecker checker(NIMBULON_SERVER_PROGRAM, {60 * 60 * 60, 20, 512});
        std::atomic<bool> stop{false};
        int without = 0;
        EXPECT_EQ(ChartBackfill::run(*storage, checker, stop, &without), static_cast<int>(waiting.size()));
        EXPECT_EQ(without, 0);
        EXPECT_TRUE(storage->playsWithoutChart().empty());
        EXPECT_TRUE(storage->playsWithoutPath().empty()) << "the same check gives each its path";
        for (const std::int64_t id : waiting) {
            const Storage::Play p = *storage->play(id);
            const std::optional<PlayChart> chart = PlayChart::fromText(p.chart, p.frames);
            ASSERT_TRUE(chart) << p.chart;
            ASSERT_EQ(chart->stageEnds.size(), static_cast<std::size_t>(p.stage));
            EXPECT_EQ(chart->stageEnds.back(), (PlayChart::Point{p.frames, p.score})) << "the chart ends where the play does";
        }
        EXPECT_EQ(ChartBackfill::run(*storage, checker, stop), 0) << "once";
    }
    fs::remove_all(dir);
}
}  // namespace
