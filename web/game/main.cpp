// Nimbulon in a web page: the game's own shell, scenes and services over the browser's backends
// (src/platform/web). The read-only data is packed into the module at /data; saves, replays,
// ranking caches and the ini live in the browser's storage at /save; the server file at /config
// names the server that served the page; the log goes to /log/log.txt, which the page can show.
#include <sys/stat.h>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include "app/Config.h"
#include "app/Env.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Shell.h"
#include "app/Translation.h"
#include "online/RankingConnecter.h"
#include "platform/web/WebPlatform.h"

namespace {
std::string iniValue(const std::string& section, const std::string& key) {
    for (const auto& [name, value] : readProfileSection(configFilePath(), section))
        if (name == key) return value;
    return "";
}

// ?lang= first, then the ini's LANGUAGE (the options page writes it), then the browser's.
void chooseTexts() {
    std::string asked = pageLanguage();
    if (asked.empty()) asked = iniValue("CONFIG", "LANGUAGE");
    const std::string browser = browserLanguage();
    const Language language = chooseLanguage(asked, [&browser](const char* name) -> const char* {
        return std::string(name) == "LANG" && !browser.empty() ? browser.c_str() : nullptr;
    });
    Catalogue catalogue;
    if (language != Language::Original && !catalogue.load(catalogueFileOf(language, gamePaths().localeDir)))
        std::fprintf(stderr, "nimbulon: no catalogue in %s; the texts stay as written\n", gamePaths().localeDir.c_str());
    setCatalogue(std::move(catalogue));
}

// The three exchanges go to the server the page came from, at the paths our server answers.
void writeServerFile(const std::string& path) {
    const std::string server = pageServer();
    if (server.empty()) return;
    std::ofstream(path) << server << "\n/ranking\n/replay\n/upload\n";
}
}  // namespace

int main() {
    GamePaths paths;
    paths.dataDir = "/data/";
    paths.saveDir = "/save/";
    paths.configDir = "/config/";
    paths.iniFile = "/save/nimbulon.ini";
    paths.localeDir = "/locale/";
    setGamePaths(paths);
    mkdir("/config", 0700);
    mkdir("/log", 0700);
    mountSaveFolder(paths.saveDir);
    writeServerFile(paths.configFile("server.txt"));
    chooseTexts();

    auto platform = std::make_unique<WebPlatform>();
    Log log("/log/log.txt");
    EnvOptions options;
    options.clock = &platform->clock();
    options.musicVolume = ReadConfigInt("CONFIG", "MUSIC_VOLUME", 100);
    options.effectVolume = ReadConfigInt("CONFIG", "SE_VOLUME", 100);
    options.keys = readProfileSection(configFilePath(), "KEYS");
    options.music = [](Log*, Mixer*) { return std::make_unique<WebMusic>(); };
    options.ranking = [](Env* env, Log* log) { return std::make_unique<RankingConnecter>(env, log, makeFetchHttpClient()); };
    return RunShell(*platform, log, options);
}
