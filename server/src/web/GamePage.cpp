#include "web/GamePage.h"
#include <dirent.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#ifndef NIMBULON_GAME_DIR
#define NIMBULON_GAME_DIR "web/game"
#endif

namespace {
constexpr const char* kLongCache = "public, max-age=31536000, immutable";
constexpr const char* kCheckAgain = "no-cache";
constexpr const char* kPrefix = "/game/";

struct Asset {
    const char* name;
    const char* type;
};
// Everything the page loads besides its songs; no other name under /game/ is looked up on disk.
constexpr Asset kAssets[] = {
    {"nimbulon-game.js", "text/javascript; charset=utf-8"},
    {"nimbulon-game.wasm", "application/wasm"},
    {"game.js", "text/javascript; charset=utf-8"},
    {"game.css", "text/css; charset=utf-8"},
    {"music/songs.json", "application/json"},
};

// The songs: every .ogg file of the music folder, by name.
std::vector<std::string> songFiles(const std::string& dir) {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ogg") == 0) names.push_back("music/" + name);
        }
        closedir(d);
    }
    return names;
}

struct Files {
    bool ready = false;
    ServedFile page;
    std::map<std::string, ServedFile> assets;

    Files() {
        const std::string dir = NIMBULON_GAME_DIR;
        std::vector<Asset> all(std::begin(kAssets), std::end(kAssets));
        const std::vector<std::string> songs = songFiles(dir + "/music");
        for (const std::string& song : songs) all.push_back({song.c_str(), "audio/ogg"});
        std::map<std::string, std::pair<std::string, const char*>> texts;
        std::uint64_t digest = 1469598103934665603ULL;  // FNV-1a over every file
        for (const Asset& a : all) {
            std::string body;
            if (!readWholeFile(dir + "/" + a.name, body)) {
                std::fprintf(stderr, "nimbulon-server: the game's page is not built (%s/%s missing)\n", dir.c_str(), a.name);
                return;
            }
            for (unsigned char c : body) digest = (digest ^ c) * 1099511628211ULL;
            texts[a.name] = {std::move(body), a.type};
        }
        std::string index;
        if (!readWholeFile(dir + "/index.html", index)) return;
        char version[24];
        std::snprintf(version, sizeof version, "%016llx", static_cast<unsigned long long>(digest));
        for (std::size_t at; (at = index.find("@VERSION@")) != std::string::npos;) index.replace(at, 9, version);
        // Served here, the page sends its plays here.
        for (std::size_t at; (at = index.find("@RANKING@")) != std::string::npos;) index.replace(at, 9, "same-origin");
        page = servedFile(std::move(index), "text/html; charset=utf-8");
        for (auto& [name, text] : texts) assets[name] = servedFile(std::move(text.first), text.second, dir + "/" + name);
        ready = true;
    }
};

// Read again, at most every ten seconds, while they are missing; every read is kept for the life
// of the process, since replies may still point into it.
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
}  // namespace

WatchReply gameReply(const std::string& path) {
    WatchReply reply;
    if (path == "/game") {
        // The page's files are named relative to it: it lives at /game/.
        reply.status = 301;
        reply.location = kPrefix;
        return reply;
    }
    if (path.compare(0, 6, kPrefix) != 0) return reply;
    const Files& f = files();
    const std::string rest = path.substr(6);
    if (rest.empty() || rest == "index.html") {
        if (!f.ready) {
            reply.status = 503;
            return reply;
        }
        reply = {200, &f.page.body, &f.page.etag, f.page.type, kCheckAgain};
        return reply;
    }
    const auto it = f.assets.find(rest);
    if (!f.ready || it == f.assets.end()) return reply;
    reply = {200, &it->second.body, &it->second.etag, it->second.type, kLongCache};
    return reply;
}
