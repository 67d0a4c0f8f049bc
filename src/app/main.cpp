// Nimbulon: the entry point. Builds the platform and the log, reads the player's settings from
// the configuration file and runs the shell until Escape, the close box or "exit".
#include <memory>
#include <string>
#include "app/Config.h"
#include "app/Env.h"
#include "app/HeapRelease.h"
#include "app/Log.h"
#include "app/Shell.h"
#include "music/BGM.h"
#include "music/GameSoundFont.h"
#include "online/RankingConnecter.h"
#include "platform/Platform.h"

int main() {
    keepBigBlocksApart();
    std::unique_ptr<Platform> platform = makeSdlPlatform();
    Log log;
    EnvOptions options;
    options.fullScreen = ReadConfigInt("CONFIG", "FULL_SCREEN", 0) != 0;
    options.musicVolume = ReadConfigInt("CONFIG", "MUSIC_VOLUME", 100);
    options.effectVolume = ReadConfigInt("CONFIG", "SE_VOLUME", 100);
    options.keys = readProfileSection(configFilePath(), "KEYS");
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
