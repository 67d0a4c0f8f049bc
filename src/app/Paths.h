#pragma once
#include <functional>
#include <string>

// Where the game reads its data and writes its files. Three layouts:
//   - the working tree (the default, and whenever the program does not sit in an installed
//     prefix): everything under "./data/" of the folder the game was started from, the ini beside
//     the program, exactly as the game has always kept them;
//   - installed (the program in <prefix>/bin with its data in <prefix>/share/nimbulon): data read
//     from the prefix, saves, replays, caches and the log written to $XDG_DATA_HOME/nimbulon/,
//     nimbulon.ini and server.txt read from $XDG_CONFIG_HOME/nimbulon/;
//   - portable (--data-dir DIR): everything, data and saves and settings, in DIR.
struct GamePaths {
    std::string dataDir = "./data/";  // read-only data (effects, songs, soundfont, pad mappings)
    std::string saveDir = "./data/";  // saves, replays, ranking caches, the log
    std::string configDir;            // server.txt; empty: the save folder
    std::string iniFile;              // empty: beside the program (configFilePath())
    std::string localeDir;            // <dir>/<lang>/LC_MESSAGES/nimbulon.mo; empty: beside the program
    bool installed = false;

    std::string dataFile(const std::string& name) const { return dataDir + name; }
    std::string saveFile(const std::string& name) const { return saveDir + name; }
    std::string configFile(const std::string& name) const { return (configDir.empty() ? saveDir : configDir) + name; }
};

// Reads an environment variable (tests pass their own).
using EnvLookup = std::function<const char*(const char*)>;

// The layout for a program at programPath ("/usr/bin/nimbulon"). dataDirOption is --data-dir's
// value (empty when not given). isInstalledData tells whether a folder holds the installed data.
GamePaths resolveGamePaths(const std::string& programPath, const std::string& dataDirOption, const EnvLookup& env,
                           const std::function<bool(const std::string&)>& isInstalledData);

// The running program's own path ("" when unknown).
std::string currentProgramPath();

// Creates the folders the game writes to (with their parents), private to the player. False, with
// the folder that failed in *failed, when one cannot be made.
bool createUserFolders(const GamePaths& paths, std::string* failed = nullptr);

// The layout every part of the game uses: the working tree's until setGamePaths is called.
const GamePaths& gamePaths();
void setGamePaths(const GamePaths& paths);
