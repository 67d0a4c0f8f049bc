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

// The player's files, read at the first request; "@VERSION@" in the pages becomes a digest of
// all of them, so that a new build is fetched at new addresses.
using File = ServedFile;
struct Files {
    bool ready = false;
    File page;
    std::map<std::string, File> assets;

    Files() {
        const std::string dir = NIMBULON_WEB_DIR;
        std::map<std::string, std::pair<std::string, const char*>> texts;
        std::uint64_t digest = 1469598103934665603ULL;  // FNV-1a over every file
        for (const Asset& a : kAssets) {
            std::string body;
            if (!readWholeFile(dir + "/" + a.name, body)) {
                std::fprintf(stderr, "nimbulon-server: the browser player is not built (%s/%s missing)\n", dir.c_str(), a.name);
                return;
            }
            for (unsigned char c : body) digest = (digest ^ c) * 1099511628211ULL;
            texts[a.name] = {std::move(body), a.type};
        }
        std::string watch;
        if (!readWholeFile(dir + "/watch.html", watch)) return;
        char version[24];
        std::snprintf(version, sizeof version, "%016llx", static_cast<unsigned long long>(digest));
        for (std::string* text : {&watch, &texts["bench.html"].first}) {
            for (std::size_t at; (at = text->find("@VERSION@")) != std::string::npos;) text->replace(at, 9, version);
        }
        page = servedFile(std::move(watch), "text/html; charset=utf-8");
        for (auto& [name, text] : texts) assets[name] = servedFile(std::move(text.first), text.second, dir + "/" + name);
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

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    out = s.str();
    return static_cast<bool>(in) || in.eof();
}

ServedFile servedFile(std::string text, const char* type, const std::string& path) {
    ServedFile f;
    f.etag = etagOf(text);
    std::string packed, decoded;
    EncodedBody built;
    built.identity = std::make_shared<const std::string>(std::move(text));
    if (!path.empty() && readWholeFile(path + ".gz", packed) && gunzip(packed, decoded) && decoded == *built.identity)
        built.gzip = std::make_shared<const std::string>(std::move(packed));
    if (!path.empty() && readWholeFile(path + ".br", packed) && unbrotli(packed, decoded) && decoded == *built.identity)
        built.brotli = std::make_shared<const std::string>(std::move(packed));
    if (!built.gzip || !built.brotli) {
        // Brotli's best takes half a minute for a module: a big file is made quickly.
        const bool big = built.identity->size() > 256 * 1024;
        EncodedBody made = EncodedBody::of(built.identity, big ? EncodedBody::Level::Fast : EncodedBody::Level::Best);
        if (!built.gzip) built.gzip = made.gzip;
        if (!built.brotli) built.brotli = made.brotli;
    }
    f.body = std::move(built);
    f.type = type;
    return f;
}

WatchReply watchReply(const std::string& path, const std::function<bool(std::int64_t)>& served) {
    WatchReply reply;
    const std::string prefix = "/watch/";
    if (path.compare(0, prefix.size(), prefix) != 0) return reply;
    const Files& f = files();
    const std::string rest = path.substr(prefix.size());
    if (isEntry(rest)) {
        if (!served(std::stoll(rest))) return reply;  // no such play, or its name is banned
        if (!f.ready) {
            reply.status = 503;
            return reply;
        }
        reply = {200, &f.page.body, &f.page.etag, f.page.type, kCheckAgain};
        return reply;
    }
    const auto it = f.assets.find(rest);
    if (!f.ready || it == f.assets.end()) return reply;
    const bool page = rest == "bench.html";
    reply = {200, &it->second.body, &it->second.etag, it->second.type, page ? kCheckAgain : kLongCache};
    return reply;
}
