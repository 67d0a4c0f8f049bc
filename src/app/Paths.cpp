#include "app/Paths.h"
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>

namespace {
GamePaths& current() {
    static GamePaths paths;
    return paths;
}

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// $XDG_..._HOME when it is an absolute path (relative values are to be ignored), else ~/fallback.
std::string xdgHome(const EnvLookup& env, const char* variable, const char* fallback) {
    const char* value = env(variable);
    if (value != nullptr && value[0] == '/') return withSlash(value);
    const char* home = env("HOME");
    return withSlash(home != nullptr && home[0] != '\0' ? home : "/tmp") + fallback;
}

bool makeFolder(const std::string& dir) {
    if (mkdir(dir.c_str(), 0700) == 0) return true;
    struct stat st {};
    return errno == EEXIST && stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool makeFolders(const std::string& dir) {
    for (std::size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1))
        if (!makeFolder(dir.substr(0, slash))) return false;
    return dir.back() == '/' || makeFolder(dir);
}
}  // namespace

GamePaths resolveGamePaths(const std::string& programPath, const std::string& dataDirOption, const EnvLookup& env,
                           const std::function<bool(const std::string&)>& isInstalledData) {
    GamePaths paths;
    if (!dataDirOption.empty()) {
        const std::string dir = withSlash(dataDirOption);
        paths.dataDir = paths.saveDir = paths.configDir = dir;
        paths.iniFile = dir + "nimbulon.ini";
        paths.localeDir = dir + "locale/";
        return paths;
    }
    // <prefix>/bin/nimbulon finds <prefix>/share/nimbulon: the prefix can move as a whole.
    const std::string bin = folderOf(programPath);
    const std::string shareData = bin + "../share/nimbulon/";
    if (bin.empty() || !isInstalledData(shareData)) return paths;
    paths.installed = true;
    paths.dataDir = shareData;
    paths.localeDir = bin + "../share/locale/";
    paths.saveDir = xdgHome(env, "XDG_DATA_HOME", ".local/share/") + "nimbulon/";
    paths.configDir = xdgHome(env, "XDG_CONFIG_HOME", ".config/") + "nimbulon/";
    paths.iniFile = paths.configDir + "nimbulon.ini";
    return paths;
}

std::string currentProgramPath() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n <= 0 ? std::string() : std::string(buf, static_cast<std::size_t>(n));
}

bool createUserFolders(const GamePaths& paths, std::string* failed) {
    for (const std::string* dir : {&paths.saveDir, &paths.configDir}) {
        if (dir->empty() || makeFolders(*dir)) continue;
        if (failed != nullptr) *failed = *dir;
        return false;
    }
    return true;
}

const GamePaths& gamePaths() { return current(); }
void setGamePaths(const GamePaths& paths) { current() = paths; }
