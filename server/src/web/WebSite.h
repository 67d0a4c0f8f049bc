#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>
#include "storage/RankingList.h"
#include "storage/Storage.h"
#include "web/ContentEncoding.h"

class Storage;

// What the server answers to a browser or a tool, other than the game's own exchanges:
//   /                 the four ranked modes with their top entries
//   /mode/N?page=P    mode N's whole list, a page at a time; ?rank=R goes to the row of rank R
//   /play/ID          one play: its figures, its replay, the chart of the play (a superseded one
//                     marked so, with a link to the play that replaced it)
//   /player/NAME      a player's best of each mode and every play kept
//   /search?name=X    the listed players whose name holds X
//   /about, /api      what the modes are and how plays are checked; the JSON's reference
//   /style.css, /favicon.svg   the pages' style sheet and icon; the pages link them under
//                     ?v=<digest of the file>, which is cached for a year
//   /robots.txt, /favicon.ico
//   /api/ranking?mode=N&page=K&per_page=M (or ?version=V, the whole list), /api/play/ID,
//   /api/player/NAME, /api/search?name=X   the same as JSON (errors as JSON too), open to
//                     scripts of any origin
//   anything else     a 404 page (JSON under /api/)
struct WebReply {
    unsigned status = 404;
    std::shared_ptr<const std::string> body;
    std::shared_ptr<const std::string> gzip, brotli;  // null where not smaller
    const char* type = "text/html; charset=utf-8";
    std::string etag;  // with its quotes
    const char* cacheControl = "no-cache";
    std::string location;  // where a redirection (status 3xx) leads
    bool cors = false;     // readable by scripts of any origin
};

class WebSite {
public:
    WebSite(Storage& storage, RankingCache& lists) : storage_(storage), lists_(lists) {}

    // The path (as the library decoded it) is one of the site's: any but the game's own and the
    // viewer's, which the server answers before.
    static bool serves(const std::string& path);
    // One label per kind of page, for the metrics.
    static std::string label(const std::string& path);
    // argument: a query parameter's value, null when absent.
    WebReply get(const std::string& path, const std::function<const char*(const char*)>& argument);
    // For /watch/ID: the 404 page when ID is not a play the site shows (or not written as its
    // number is); nothing for any other path.
    std::optional<WebReply> missingPlay(const std::string& path);

    // The headers every reply of the site carries: no script, nothing from elsewhere, no framing.
    static const char* const kSecurityPolicy;
    // The headers of the JSON's replies and of their preflight, for scripts of any origin.
    static const char* const kCorsHeaders[][2];

private:
    struct Cached {
        std::vector<std::shared_ptr<const RankedList>> sources;
        WebReply reply;
    };
    WebReply fromLists(const std::string& key, const std::vector<std::shared_ptr<const RankedList>>& sources,
                       const std::function<WebReply()>& make);
    WebReply front();
    WebReply mode(const std::string& number, const char* page, const char* rank);
    WebReply play(const std::string& number, bool json);
    // The play the site shows under this number (listed, or superseded), with its rank (0 when
    // superseded) and its list.
    std::optional<Storage::Play> shownPlay(const std::string& number, std::int32_t& rank,
                                           std::shared_ptr<const RankedList>& list);
    WebReply player(const std::string& name, bool json);
    WebReply search(const char* query, bool json);
    WebReply apiRanking(const std::function<const char*(const char*)>& argument);
    std::vector<std::shared_ptr<const RankedList>> allLists();

    Storage& storage_;
    RankingCache& lists_;
    std::mutex mutex_;
    std::map<std::string, Cached> cache_;
};

// The request's If-None-Match names this ETag (or is "*").
bool etagMatches(const char* ifNoneMatch, const std::string& etag);
