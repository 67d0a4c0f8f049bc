#include "web/WatchPage.h"
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <vector>

#ifndef NIMBULON_WEB_DIR
#define NIMBULON_WEB_DIR "web/player"
#endif

const char* const kWatchSecurityPolicy =
    "default-src 'none'; script-src 'self' 'wasm-unsafe-eval'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

namespace {
constexpr const char* kLongCache = "public, max-age=31536000, immutable";
constexpr const char* kCheckAgain = "no-cache";

struct Asset {
    const char* name;
    const char* type;
};
// Everything the player loads; no other name under /watch/ is ever looked up on disk.
constexpr Asset kAssets[] = {
    {"nimbulon-web.js", "text/javascript; charset=utf-8"},
    {"nimbulon-web.wasm", "application/wasm"},
    {"player.js", "text/javascript; charset=utf-8"},
    {"player.css", "text/css; charset=utf-8"},
    {"bench.html", "text/html; charset=utf-8"},
    {"bench.js", "text/javascript; charset=utf-8"},
};

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return static_cast<bool>(in) || in.eof();
}

// The player's files, read at the first request; "@VERSION@" in the pages becomes a digest of
// all of them, so that a new build is fetched at new addresses.
struct Files {
    bool ready = false;
    std::string page;
    std::map<std::string, std::pair<std::string, const char*>> assets;

    Files() {
        const std::string dir = NIMBULON_WEB_DIR;
        std::uint64_t digest = 1469598103934665603ULL;  // FNV-1a over every file
        for (const Asset& a : kAssets) {
            std::string body;
            if (!readFile(dir + "/" + a.name, body)) {
                std::fprintf(stderr, "nimbulon-server: the browser player is not built (%s/%s missing)\n", dir.c_str(), a.name);
                assets.clear();
                return;
            }
            for (unsigned char c : body) digest = (digest ^ c) * 1099511628211ULL;
            assets[a.name] = {std::move(body), a.type};
        }
        if (!readFile(dir + "/watch.html", page)) {
            assets.clear();
            return;
        }
        char version[24];
        std::snprintf(version, sizeof version, "%016llx", static_cast<unsigned long long>(digest));
        for (std::string* text : {&page, &assets["bench.html"].first}) {
            for (std::size_t at; (at = text->find("@VERSION@")) != std::string::npos;) text->replace(at, 9, version);
        }
        ready = true;
    }
};

// Read again, at most every ten seconds, while they are missing (the player may be built after
// the server started). Every read is kept for the life of the process, since replies and other
// threads may still point into it; a failed one holds no file.
const Files& files() {
    static std::mutex guard;
    static std::vector<std::unique_ptr<const Files>> reads;
    static std::chrono::steady_clock::time_point lastTry;
    std::lock_guard lock(guard);
    const auto now = std::chrono::steady_clock::now();
    if (reads.empty() || (!reads.back()->ready && now - lastTry >= std::chrono::seconds(10))) {
        lastTry = now;
        reads.push_back(std::make_unique<const Files>());
    }
    return *reads.back();
}

// /watch/ID: a whole decimal number of at most 18 digits.
bool isEntry(const std::string& rest) {
    if (rest.empty() || rest.size() > 18) return false;
    for (char c : rest)
        if (c < '0' || c > '9') return false;
    return true;
}
}  // namespace

WatchReply watchReply(const std::string& path) {
    WatchReply reply;
    const std::string prefix = "/watch/";
    if (path.compare(0, prefix.size(), prefix) != 0) return reply;
    const Files& f = files();
    const std::string rest = path.substr(prefix.size());
    if (isEntry(rest)) {
        if (!f.ready) {
            reply.status = 503;
            return reply;
        }
        reply = {200, &f.page, "text/html; charset=utf-8", kCheckAgain};
        return reply;
    }
    const auto it = f.assets.find(rest);
    if (!f.ready || it == f.assets.end()) return reply;
    const bool page = rest == "bench.html";
    reply = {200, &it->second.first, it->second.second, page ? kCheckAgain : kLongCache};
    return reply;
}
