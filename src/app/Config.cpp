#include "app/Config.h"
#include "app/Paths.h"
#include <cctype>
#include <fstream>
#include <unistd.h>

namespace {
std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// Like the Windows profile functions: sign and decimal digits from the start, wrapping on overflow.
std::int32_t profileInteger(const std::string& value) {
    std::size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    std::uint32_t n = 0;
    for (; i < value.size() && std::isdigit(static_cast<unsigned char>(value[i])); ++i)
        n = n * 10u + static_cast<std::uint32_t>(value[i] - '0');
    return static_cast<std::int32_t>(negative ? 0u - n : n);
}
}  // namespace

std::string configFilePath() {
    if (!gamePaths().iniFile.empty()) return gamePaths().iniFile;
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return "nimbulon.ini";
    return std::string(buf, static_cast<std::size_t>(n)) + ".ini";
}

std::vector<std::pair<std::string, std::string>> readProfileSection(const std::string& path,
                                                                    const std::string& section) {
    std::vector<std::pair<std::string, std::string>> entries;
    std::ifstream in(path);
    if (!in) return entries;
    std::string line;
    bool inSection = false;
    while (std::getline(in, line)) {
        const std::string t = trim(line);
        if (t.empty() || t[0] == ';') continue;
        if (t.front() == '[') {
            const auto close = t.find(']');
            inSection = close != std::string::npos && equalsIgnoreCase(trim(t.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const auto eq = t.find('=');
        if (eq == std::string::npos) continue;
        entries.emplace_back(trim(t.substr(0, eq)), trim(t.substr(eq + 1)));
    }
    return entries;
}

std::int32_t readProfileInt(const std::string& path, const std::string& section, const std::string& key,
                            std::int32_t defaultValue) {
    // The first entry of that name counts, as with the profile functions.
    for (const auto& [name, value] : readProfileSection(path, section))
        if (equalsIgnoreCase(name, key)) return profileInteger(value);
    return defaultValue;
}

namespace {
std::string& configOverride() {
    static std::string path;
    return path;
}
}  // namespace

void overrideConfigFile(const std::string& path) { configOverride() = path; }

std::int32_t ReadConfigInt(const std::string& section, const std::string& key, std::int32_t defaultValue) {
    const std::string& path = configOverride();
    return readProfileInt(path.empty() ? configFilePath() : path, section, key, defaultValue);
}
