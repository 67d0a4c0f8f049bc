#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "storage/RankingList.h"
#include "web/ContentEncoding.h"

class Storage;

// What the server answers to a browser or a tool, other than the game's own exchanges:
//   /                 the four ranked modes with their top entries
//   /mode/N?page=P    mode N's whole list, a page at a time
//   /play/ID          one entry: its figures, its replay, the chart of the play
//   /player/NAME      a player's entries across the modes
//   /style.css, /favicon.svg   the pages' style sheet and icon; the pages link them under
//                     ?v=<digest of the file>, which is cached for a year
//   /api/ranking?version=N, /api/play/ID   the same as JSON (errors as JSON too)
// The pages are made from the ranking lists the game's exchange serves (the same cache, so they
// agree with it and cost no more); a page made from the lists is kept until one of them is built
// again. Every reply carries an ETag of its body, and its gzip and brotli forms made with it.
struct WebReply {
    unsigned status = 404;
    std::shared_ptr<const std::string> body;
    std::shared_ptr<const std::string> gzip, brotli;  // null where not smaller
    const char* type = "text/html; charset=utf-8";
    std::string etag;  // with its quotes
    const char* cacheControl = "no-cache";
};

class WebSite {
public:
    WebSite(Storage& storage, RankingCache& lists) : storage_(storage), lists_(lists) {}

    // The path (as the library decoded it) is one of the site's.
    static bool serves(const std::string& path);
    // One label per kind of page, for the metrics.
    static std::string label(const std::string& path);
    // argument: a query parameter's value, null when absent.
    WebReply get(const std::string& path, const std::function<const char*(const char*)>& argument);

    // The headers every reply of the site carries: no script, nothing from elsewhere, no framing.
    static const char* const kSecurityPolicy;

private:
    struct Cached {
        std::vector<std::shared_ptr<const RankedList>> sources;
        WebReply reply;
    };
    WebReply fromLists(const std::string& key, const std::vector<std::shared_ptr<const RankedList>>& sources,
                       const std::function<WebReply()>& make);
    WebReply front();
    WebReply mode(const std::string& number, const char* page);
    WebReply play(const std::string& number, bool json);
    WebReply player(const std::string& name);
    WebReply apiRanking(const char* version);
    std::vector<std::shared_ptr<const RankedList>> allLists();

    Storage& storage_;
    RankingCache& lists_;
    std::mutex mutex_;
    std::map<std::string, Cached> cache_;
};

// The request's If-None-Match names this ETag (or is "*").
bool etagMatches(const char* ifNoneMatch, const std::string& etag);
