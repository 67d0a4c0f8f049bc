// Nimbulon: the entry point. Reads the command line, finds where the game's data and the
// player's files live, builds the platform and the log, reads the player's settings from the
// configuration file and runs the shell until Escape, the close box or "exit".
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include "app/CommandLine.h"
#include "app/Config.h"
#include "app/Env.h"
#include "app/HeapRelease.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Settings.h"
#include "app/Shell.h"
#include "app/Translation.h"
#include "music/BGM.h"
#include "music/GameSoundFont.h"
#include "online/RankingConnecter.h"
#include "platform/Platform.h"

namespace {
// The installed data holds at least the title song.
bool holdsGameData(const std::string& dir) { return access((dir + "title.mid").c_str(), R_OK) == 0; }

// The player's language, from the settings or the locale; the catalogue lies with the installed
// data, in the portable folder, or beside the program in the working tree.
void chooseTexts(const std::string& localeDir, const std::string& iniLanguage) {
    const Language language = chooseLanguage(iniLanguage, std::getenv);
    Catalogue catalogue;
    if (language != Language::Original && !catalogue.load(catalogueFileOf(language, localeDir)))
        std::fprintf(stderr, "nimbulon: no catalogue in %s; the texts stay as written\n", localeDir.c_str());
    setCatalogue(std::move(catalogue));
}
}  // namespace

int main(int argc, char** argv) {
    keepBigBlocksApart();
    const CommandLine command = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), NIMBULON_VERSION);
    if (command.exitNow) {
        std::fputs(command.out.c_str(), stdout);
        std::fputs(command.error.c_str(), stderr);
        return command.exitStatus;
    }
    const std::string program = currentProgramPath();
    const GamePaths paths = resolveGamePaths(program, command.dataDir, std::getenv, holdsGameData);
    std::string failed;
    if ((paths.installed || !command.dataDir.empty()) && !createUserFolders(paths, &failed)) {
        std::fprintf(stderr, "nimbulon: cannot create the folder %s\n", failed.c_str());
        return 1;
    }
    setGamePaths(paths);
    const std::string settingsFile = configFilePath();
    // The first start writes the settings with their defaults, each explained, so that a player
    // finds the file and what it can say.
    const bool firstStart = access(settingsFile.c_str(), F_OK) != 0;
    const Settings settings = Settings::read(settingsFile);
    if (firstStart) settings.write(settingsFile);
    const std::string localeDir =
        paths.localeDir.empty() ? program.substr(0, program.rfind('/') + 1) + "locale/" : paths.localeDir;
    chooseTexts(localeDir, settings.language);

    std::unique_ptr<Platform> platform = makeSdlPlatform();
    Log log;
    EnvOptions options;
    options.fullScreen = command.fullScreen.value_or(settings.fullScreen);
    options.musicVolume = settings.musicVolume;
    options.effectVolume = settings.effectVolume;
    options.keys = settings.keys;
    options.settings = settings;
    options.settingsFile = settingsFile;
    options.applyLanguage = [localeDir](const std::string& language) { chooseTexts(localeDir, language); };
    platform->screen().setWindowScale(settings.windowScale);
    // The music is synthesised into the game's mix; the play itself never depends on it.
    options.music = [](Log* log, Mixer* mixer) {
        const std::string soundFont = midiplayer::gameSoundFont();
        if (log != nullptr) LOG_WRITE(log, "BGM", "サウンドフォント: " + soundFont);
        return std::make_unique<BGM>(log, mixer, soundFont);
    };
    // The ranking server is reached over HTTP, one connector per action of the records scene.
    options.ranking = [](Env* env, Log* log) { return std::make_unique<RankingConnecter>(env, log); };
    return RunShell(*platform, log, options);
}
