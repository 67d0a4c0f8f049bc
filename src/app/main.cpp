// Nimbulon: the entry point. Builds the platform and the log, reads the full-screen switch and
// runs the shell until Escape, the close box or "exit".
#include <memory>
#include "app/Config.h"
#include "app/Log.h"
#include "app/Shell.h"
#include "music/BGM.h"
#include "online/RankingConnecter.h"
#include "platform/Platform.h"

int main() {
    std::unique_ptr<Platform> platform = makeSdlPlatform();
    Log log;
    const bool fullScreen = ReadConfigInt("CONFIG", "FULL_SCREEN", 0) != 0;
    // The music is synthesised into the game's mix; the play itself never depends on it.
    const MusicFactory music = [](Log* log, Mixer* mixer) { return std::make_unique<BGM>(log, mixer); };
    // The ranking server is reached over HTTP, one connector per action of the records scene.
    const RankingClientFactory ranking = [](Env* env, Log* log) { return std::make_unique<RankingConnecter>(env, log); };
    return RunShell(*platform, log, fullScreen, music, ranking);
}
