#include "web/WebSite.h"
#include <cstdio>
#include "storage/Storage.h"
#include "web/ContentEncoding.h"
#include "web/WebJson.h"
#include "web/WebPages.h"

const char* const WebSite::kSecurityPolicy =
    "default-src 'none'; style-src 'self'; img-src 'self'; base-uri 'none'; form-action 'none'; "
    "frame-ancestors 'none'";

namespace {
constexpr const char* kJson = "application/json; charset=utf-8";
constexpr std::size_t kMaxCached = 256;
constexpr const char* kLongCache = "public, max-age=31536000, immutable";

// A whole decimal number in [low, high] and nothing else.
bool wholeNumber(const char* text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (!text || !*text) return false;
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
    return reply(status, webjson::error(status, message), kJson);
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
    return path == "/" || path == "/style.css" || path == "/favicon.svg" || startsWith(path, "/mode/") || startsWith(path, "/play/") ||
           startsWith(path, "/player/") || startsWith(path, "/api/");
}

std::string WebSite::label(const std::string& path) {
    if (path == "/" || path == "/style.css" || path == "/favicon.svg" || path == "/api/ranking") return path;
    for (const char* prefix : {"/api/play/", "/mode/", "/player/", "/play/"})
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
        if (path == "/favicon.svg") {
            static const WebReply svg = reply(200, webpages::icon(), "image/svg+xml", EncodedBody::Level::Best);
            return staticFile(svg, argument("v"));
        }
        if (startsWith(path, "/mode/")) return mode(path.substr(6), argument("page"));
        if (startsWith(path, "/player/")) return player(path.substr(8));
        if (startsWith(path, "/play/")) return play(path.substr(6), false);
        if (path == "/api/ranking") return apiRanking(argument("version"));
        if (startsWith(path, "/api/play/")) return play(path.substr(10), true);
        return api ? jsonError(404, "no such interface: /api/ranking?version=N and /api/play/ID are")
                   : pageError(404, "No such page.");
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

WebReply WebSite::mode(const std::string& number, const char* pageArgument) {
    std::int64_t n = 0, page = 1;
    const webpages::RankedMode* mode = wholeNumber(number.c_str(), 0, 99, n) ? webpages::rankedModeOf(static_cast<std::int32_t>(n)) : nullptr;
    if (!mode) return pageError(404, "No such mode: the ranked modes are 2 to 5.");
    const auto list = lists_.list(mode->version);
    if (pageArgument && !wholeNumber(pageArgument, 1, static_cast<std::int64_t>(webpages::pageCount(*list)), page))
        return pageError(404, "No such page of this list.");
    return fromLists("/mode/" + std::to_string(n) + "?page=" + std::to_string(page), {list}, [&] {
        return reply(200, webpages::modePage(*mode, *list, static_cast<std::size_t>(page)));
    });
}

WebReply WebSite::apiRanking(const char* version) {
    std::int64_t v = 0;
    if (!wholeNumber(version, 0, 1 << 30, v) || !rankedVersion(v))
        return jsonError(400, "version must be one of 104, 105, 106, 107");
    const auto list = lists_.list(static_cast<std::int32_t>(v));
    return fromLists("/api/ranking?version=" + std::to_string(v), {list},
                     [&] { return reply(200, webjson::ranking(*list), kJson); });
}

WebReply WebSite::play(const std::string& number, bool json) {
    std::int64_t id = 0;
    auto missing = [&] { return json ? jsonError(404, "no such play") : pageError(404, "No such play."); };
    if (!wholeNumber(number.c_str(), 0, INT64_MAX, id)) return missing();
    const std::optional<Storage::Play> p = storage_.play(id);
    if (!p || !rankedVersion(p->version)) return missing();
    // Only what the list shows: a play of a banned name is in no list, and has no page either.
    const auto list = lists_.list(p->version);
    for (std::size_t i = 0; i < list->entries.size(); ++i)
        if (list->entries[i].id == id) {
            // Kept while the list stands; a chart drawn later is a new page.
            const std::string key = (json ? "/api/play/" : "/play/") + std::to_string(id) + "#" + etagOf(p->chart);
            return fromLists(key, {list}, [&] {
                return json ? reply(200, webjson::play(*p, list->ranks[i]), kJson)
                            : reply(200, webpages::playPage(*p, list->ranks[i]));
            });
        }
    return missing();
}

WebReply WebSite::player(const std::string& name) {
    const auto lists = allLists();
    return fromLists("/player/" + name, lists, [&] {
        std::vector<webpages::PlayerEntry> entries;
        for (std::size_t m = 0; m < lists.size(); ++m)
            for (std::size_t i = 0; i < lists[m]->entries.size(); ++i)
                if (lists[m]->entries[i].name == name)
                    entries.push_back({&webpages::rankedModes()[m], lists[m]->ranks[i], &lists[m]->entries[i]});
        if (entries.empty()) return pageError(404, "No ranked plays under this name.");
        return reply(200, webpages::playerPage(name, entries));
    });
}
