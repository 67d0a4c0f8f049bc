#include "web/WebSite.h"
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <set>
#include "storage/Storage.h"
#include "web/ContentEncoding.h"
#include "web/WebJson.h"
#include "web/WebPages.h"

const char* const WebSite::kSecurityPolicy =
    "default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; form-action 'self'; "
    "frame-ancestors 'none'";

const char* const WebSite::kCorsHeaders[][2] = {
    {"Access-Control-Allow-Origin", "*"},
    {"Access-Control-Allow-Methods", "GET, HEAD"},
    {"Access-Control-Allow-Headers", "If-None-Match"},
    {"Access-Control-Expose-Headers", "ETag"},
    {"Access-Control-Max-Age", "86400"},
    {nullptr, nullptr},
};

namespace {
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr std::size_t kMaxCached = 256;
constexpr const char* kLongCache = "public, max-age=31536000, immutable";

// A whole decimal number in [low, high] and nothing else, written as a number is: no sign and no
// leading zero, so that each number has one address.
bool wholeNumber(const char* text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (!text || !*text || (text[0] == '0' && text[1])) return false;
    std::int64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9' || v > (high - (*p - '0')) / 10) return false;
        v = v * 10 + (*p - '0');
    }
    if (v < low || v > high) return false;
    out = v;
    return true;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

WebReply reply(unsigned status, std::string body, const char* type = "text/html; charset=utf-8",
               EncodedBody::Level level = EncodedBody::Level::Fast) {
    WebReply r;
    r.status = status;
    r.etag = etagOf(body);
    EncodedBody encoded = EncodedBody::of(std::move(body), level);
    r.body = std::move(encoded.identity);
    r.gzip = std::move(encoded.gzip);
    r.brotli = std::move(encoded.brotli);
    r.type = type;
    return r;
}

// A file the pages link under ?v=<its digest>: cached for a year at that address, checked again
// at any other (an old page's link after an upgrade, or none).
WebReply staticFile(const WebReply& file, const char* version) {
    WebReply r = file;
    if (version && r.etag == "\"" + std::string(version) + "\"") r.cacheControl = kLongCache;
    return r;
}

WebReply pageError(unsigned status, const std::string& message) {
    return reply(status, webpages::errorPage(status, message));
}
WebReply jsonError(unsigned status, const std::string& message) {
    WebReply r = reply(status, webjson::error(status, message), kJson);
    r.cors = true;
    return r;
}
WebReply json(std::string body) {
    WebReply r = reply(200, std::move(body), kJson);
    r.cors = true;
    return r;
}
WebReply redirect(const std::string& to) {
    WebReply r = reply(302, webpages::errorPage(302, "This page is elsewhere."));
    r.location = to;
    return r;
}

constexpr std::size_t kMaxPerPage = 1000;
constexpr std::size_t kMaxFound = 50;  // players a search shows

const char* const kRobots =
    "# Every page may be read; the replays and the viewer are fetched by people, not by indexes.\n"
    "User-agent: *\nDisallow: /replay\nDisallow: /watch/\nDisallow: /api/\nDisallow: /search\n";

std::string apiReference() {
    return webpages::referencePage();
}
}  // namespace

bool etagMatches(const char* ifNoneMatch, const std::string& etag) {
    if (!ifNoneMatch) return false;
    std::string header = ifNoneMatch;
    header.erase(0, header.find_first_not_of(" \t"));
    header.erase(header.find_last_not_of(" \t") + 1);
    // "*", or a list of tags (a weak W/"..." compares by its quoted part).
    return header == "*" || header.find(etag) != std::string::npos;
}

bool WebSite::serves(const std::string& path) {
    return !path.empty() && path[0] == '/';
}

std::string WebSite::label(const std::string& path) {
    for (const char* exact : {"/", "/style.css", "/favicon.svg", "/favicon.ico", "/robots.txt", "/about", "/api", "/search",
                              "/api/ranking", "/api/search"})
        if (path == exact) return path;
    for (const char* prefix : {"/api/play/", "/api/player/", "/mode/", "/player/", "/play/"})
        if (startsWith(path, prefix)) return prefix;
    return startsWith(path, "/api/") ? "/api/other" : "other";
}

WebReply WebSite::get(const std::string& path, const std::function<const char*(const char*)>& argument) {
    const bool api = startsWith(path, "/api/");
    try {
        if (path == "/") return front();
        if (path == "/style.css") {
            static const WebReply css = reply(200, webpages::styleSheet(), "text/css; charset=utf-8", EncodedBody::Level::Best);
            return staticFile(css, argument("v"));
        }
        if (path == "/favicon.svg" || path == "/favicon.ico") {
            static const WebReply svg = reply(200, webpages::icon(), "image/svg+xml", EncodedBody::Level::Best);
            return staticFile(svg, argument("v"));
        }
        if (path == "/robots.txt") {
            static const WebReply robots = reply(200, kRobots, "text/plain; charset=utf-8");
            return robots;
        }
        if (path == "/about") {
            static const WebReply about = reply(200, webpages::aboutPage());
            return about;
        }
        if (path == "/api") {
            static const WebReply reference = reply(200, apiReference());
            return reference;
        }
        if (path == "/search") return search(argument("name"), false);
        if (startsWith(path, "/mode/")) return mode(path.substr(6), argument("page"), argument("rank"));
        if (startsWith(path, "/player/")) return player(path.substr(8), false);
        if (startsWith(path, "/play/")) return play(path.substr(6), false);
        if (path == "/api/ranking") return apiRanking(argument);
        if (path == "/api/search") return search(argument("name"), true);
        if (startsWith(path, "/api/play/")) return play(path.substr(10), true);
        if (startsWith(path, "/api/player/")) return player(path.substr(12), true);
        return api ? jsonError(404, "no such interface: see /api") : pageError(404, "No such page.");
    } catch (const std::exception& e) {
        // The database is away: said plainly, and never kept.
        return api ? jsonError(503, "the ranking cannot be read at the moment") : pageError(503, "The ranking cannot be read at the moment.");
    }
}

std::vector<std::shared_ptr<const RankedList>> WebSite::allLists() {
    std::vector<std::shared_ptr<const RankedList>> lists;
    for (const webpages::RankedMode& m : webpages::rankedModes()) lists.push_back(lists_.list(m.version));
    return lists;
}

WebReply WebSite::fromLists(const std::string& key, const std::vector<std::shared_ptr<const RankedList>>& sources,
                            const std::function<WebReply()>& make) {
    {
        std::lock_guard lock(mutex_);
        const auto it = cache_.find(key);
        if (it != cache_.end() && it->second.sources == sources) return it->second.reply;
    }
    WebReply made = make();
    std::lock_guard lock(mutex_);
    if (cache_.size() >= kMaxCached) cache_.clear();
    cache_[key] = {sources, made};
    return made;
}

WebReply WebSite::front() {
    const auto lists = allLists();
    return fromLists("/", lists, [&] { return reply(200, webpages::frontPage(lists)); });
}

WebReply WebSite::mode(const std::string& number, const char* pageArgument, const char* rankArgument) {
    std::int64_t n = 0, page = 1, rank = 0;
    const webpages::RankedMode* mode = wholeNumber(number.c_str(), 0, 99, n) ? webpages::rankedModeOf(static_cast<std::int32_t>(n)) : nullptr;
    if (!mode) return pageError(404, "No such mode: the ranked modes are 2 to 5.");
    const auto list = lists_.list(mode->version);
    if (rankArgument) {
        std::size_t row = 0, at = 0;
        if (!wholeNumber(rankArgument, 1, INT32_MAX, rank) || (at = webpages::pageOfRank(*list, static_cast<std::int32_t>(rank), row)) == 0)
            return pageError(404, "No such rank in this list.");
        return redirect("/mode/" + number + "?page=" + std::to_string(at) + "#row-" + std::to_string(row));
    }
    if (pageArgument && !wholeNumber(pageArgument, 1, static_cast<std::int64_t>(webpages::pageCount(*list)), page))
        return pageError(404, "No such page of this list.");
    return fromLists("/mode/" + std::to_string(n) + "?page=" + std::to_string(page), {list}, [&] {
        return reply(200, webpages::modePage(*mode, *list, static_cast<std::size_t>(page)));
    });
}

WebReply WebSite::apiRanking(const std::function<const char*(const char*)>& argument) {
    std::int64_t v = 0, n = 0, page = 1, perPage = static_cast<std::int64_t>(webpages::kPageEntries);
    const char* version = argument("version");
    const char* modeNumber = argument("mode");
    const webpages::RankedMode* mode = nullptr;
    if (modeNumber) {
        if (!wholeNumber(modeNumber, 0, 99, n) || !(mode = webpages::rankedModeOf(static_cast<std::int32_t>(n))))
            return jsonError(400, "mode must be one of 2, 3, 4, 5");
    } else if (version) {
        if (!wholeNumber(version, 0, 1 << 30, v) || !rankedVersion(v) || !(mode = webpages::rankedModeOfVersion(static_cast<std::int32_t>(v))))
            return jsonError(400, "version must be one of 104, 105, 106, 107");
    } else {
        return jsonError(400, "name the list: mode=2..5 (or version=104..107)");
    }
    const char* pageArgument = argument("page");
    const char* perPageArgument = argument("per_page");
    if (perPageArgument && !wholeNumber(perPageArgument, 1, kMaxPerPage, perPage))
        return jsonError(400, "per_page must be 1 to " + std::to_string(kMaxPerPage));
    const auto list = lists_.list(mode->version);
    // The whole list by its version, as before pages: the game's list, as JSON.
    if (!modeNumber && !pageArgument && !perPageArgument)
        return fromLists("/api/ranking?version=" + std::to_string(mode->version), {list}, [&] { return json(webjson::ranking(*list)); });
    const std::int64_t pages = list->entries.empty() ? 1 : (static_cast<std::int64_t>(list->entries.size()) + perPage - 1) / perPage;
    if (pageArgument && !wholeNumber(pageArgument, 1, pages, page))
        return jsonError(404, "no such page: this list has " + std::to_string(pages) + " at per_page=" + std::to_string(perPage));
    return fromLists("/api/ranking?mode=" + std::to_string(mode->mode) + "&page=" + std::to_string(page) + "&per_page=" +
                         std::to_string(perPage),
                     {list}, [&] {
                         return json(webjson::rankingPage(*list, static_cast<std::size_t>(page), static_cast<std::size_t>(perPage)));
                     });
}

WebReply WebSite::search(const char* query, bool asJson) {
    const std::string q = query ? query : "";
    if (q.empty() || q.size() > 8)
        return asJson ? jsonError(400, "name must be 1 to 8 characters") : pageError(400, "Type 1 to 8 characters of a name.");
    const auto lists = allLists();
    return fromLists((asJson ? "/api/search?" : "/search?") + q, lists, [&] {
        // Names compare without regard to case, the way people type them.
        auto lower = [](std::string s) {
            for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            return s;
        };
        const std::string wanted = lower(q);
        std::set<std::string> found;
        for (const auto& list : lists)
            for (const Storage::Entry& e : list->entries)
                if (lower(e.name).find(wanted) != std::string::npos) found.insert(e.name);
        std::vector<std::string> names(found.begin(), found.end());
        // The exact name first, then the rest in order.
        std::stable_partition(names.begin(), names.end(), [&](const std::string& n) { return lower(n) == wanted; });
        const bool more = names.size() > kMaxFound;
        if (more) names.resize(kMaxFound);
        return asJson ? json(webjson::search(q, names, more)) : reply(200, webpages::searchPage(q, names, more));
    });
}

std::optional<Storage::Play> WebSite::shownPlay(const std::string& number, std::int32_t& rank,
                                                std::shared_ptr<const RankedList>& list) {
    std::int64_t id = 0;
    rank = 0;
    if (!wholeNumber(number.c_str(), 0, INT64_MAX, id)) return std::nullopt;
    std::optional<Storage::Play> p = storage_.play(id);
    // A banned name's plays are in no list and have no page; a beaten play keeps its page, marked.
    if (!p || !rankedVersion(p->version) || p->banned) return std::nullopt;
    list = lists_.list(p->version);
    for (std::size_t i = 0; i < list->entries.size() && rank == 0; ++i)
        if (list->entries[i].id == id) rank = list->ranks[i];
    if (rank == 0 && p->supersededBy == 0) return std::nullopt;
    return p;
}

std::optional<WebReply> WebSite::missingPlay(const std::string& path) {
    const std::string rest = startsWith(path, "/watch/") ? path.substr(7) : "";
    if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    std::int32_t rank = 0;
    std::shared_ptr<const RankedList> list;
    try {
        if (shownPlay(rest, rank, list)) return std::nullopt;
    } catch (const std::exception&) {
        return pageError(503, "The ranking cannot be read at the moment.");
    }
    return pageError(404, "No such play.");
}

WebReply WebSite::play(const std::string& number, bool asJson) {
    std::int32_t rank = 0;
    std::shared_ptr<const RankedList> list;
    const std::optional<Storage::Play> p = shownPlay(number, rank, list);
    if (!p) return asJson ? jsonError(404, "no such play") : pageError(404, "No such play.");
    // Kept while the list stands; a chart drawn later is a new page.
    const std::string key = (asJson ? "/api/play/" : "/play/") + std::to_string(p->id) + "#" + etagOf(p->chart) + "#" +
                            std::to_string(p->supersededBy);
    return fromLists(key, {list}, [&] {
        return asJson ? json(webjson::play(*p, rank)) : reply(200, webpages::playPage(*p, rank));
    });
}

WebReply WebSite::player(const std::string& name, bool asJson) {
    const auto lists = allLists();
    return fromLists((asJson ? "/api/player/" : "/player/") + name, lists, [&] {
        std::vector<webpages::PlayerEntry> entries;
        for (std::size_t m = 0; m < lists.size(); ++m)
            for (std::size_t i = 0; i < lists[m]->entries.size(); ++i)
                if (lists[m]->entries[i].name == name)
                    entries.push_back({&webpages::rankedModes()[m], lists[m]->ranks[i], &lists[m]->entries[i]});
        std::vector<Storage::Play> history = storage_.history(name);
        std::erase_if(history, [](const Storage::Play& p) { return p.banned || !rankedVersion(p.version); });
        if (entries.empty() && history.empty())
            return asJson ? jsonError(404, "no ranked plays under this name") : pageError(404, "No ranked plays under this name.");
        if (!asJson) return reply(200, webpages::playerPage(name, entries, history));
        std::vector<webjson::Best> best;
        for (const webpages::PlayerEntry& e : entries) best.push_back({e.mode->mode, e.mode->version, e.rank, e.entry});
        return json(webjson::player(name, best, history));
    });
}
