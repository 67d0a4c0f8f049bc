#include "music/GameSoundFont.h"
#include <unistd.h>
#include <cstdlib>
#include "app/Paths.h"
#include "music/Output.h"

namespace midiplayer {
namespace {

std::string programFolder() {
    char buffer[4096];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    const std::string path(buffer, static_cast<std::size_t>(n));
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

std::string gameSoundFont() {
    if (const char* chosen = std::getenv("NIMBULON_SOUNDFONT"); chosen != nullptr && *chosen != '\0') return chosen;
    // Installed, it lies with the game's data; in the working tree, beside the program.
    const std::string installed = gamePaths().dataFile(kGameSoundFontName);
    if (gamePaths().dataDir != GamePaths().dataDir && looksLikeSoundFont(installed)) return installed;
    const std::string folder = programFolder();
    if (!folder.empty() && looksLikeSoundFont(folder + kGameSoundFontName)) return folder + kGameSoundFontName;
    return Output::kDefaultSoundFont;
}

}  // namespace midiplayer
