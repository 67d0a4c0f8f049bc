#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "web/ContentEncoding.h"

// The browser's replay player under /watch/: the page for an entry (/watch/ID) and the files it
// loads (the simulation module, its script, the page's script and style sheet), read from the
// folder the emscripten build writes (build-web/player) at the first request that finds them all. The module's files are fetched
// under a query naming their version, so they are sent with a year's cache lifetime; the page
// itself is checked again every time. Each file's gzip and brotli forms are made once, when the
// files are read (the module at brotli's best).
struct WatchReply {
    unsigned status = 404;
    const EncodedBody* body = nullptr;  // lives as long as the process; null: an empty body
    const std::string* etag = nullptr;  // of the identity body
    const char* type = nullptr;
    const char* cacheControl = nullptr;
    const char* location = nullptr;  // where a redirect points
};

// One file as it is served: its body in each encoding, its entity tag and type.
struct ServedFile {
    EncodedBody body;
    std::string etag;
    const char* type = nullptr;
};
// text as served: the compressed forms the build wrote beside the file at path (by
// nimbulon-precompress) when they decode to it, made here otherwise (quickly for a big file).
ServedFile servedFile(std::string text, const char* type, const std::string& path = "");
// The whole of a file; false when it cannot be read.
bool readWholeFile(const std::string& path, std::string& out);

// What answers GET path (path without the query), or 404 for a path under /watch/ that is not
// one of the player's. The page of an entry is sent only when served(id) says the play's replay
// is served (it exists and its name is not banned); served may throw when the database is away.
WatchReply watchReply(const std::string& path, const std::function<bool(std::int64_t)>& served);

// The headers every reply under /watch/ carries: the script may compile the WebAssembly module
// and fetch from this server, nothing else.
extern const char* const kWatchSecurityPolicy;
