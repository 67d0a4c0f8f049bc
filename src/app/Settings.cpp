#include "app/Settings.h"
#include <algorithm>
#include <cctype>
#include <iterator>
#include <vector>
#include "app/AtomicFile.h"
#include "app/Config.h"

namespace {
constexpr const char* kSection = "CONFIG";
constexpr const char* kKeyEntries[] = {"UP", "DOWN", "LEFT", "RIGHT", "BUTTON1", "BUTTON2", "BUTTON3"};

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

Settings Settings::read(const std::string& path) {
    Settings s;
    auto number = [&path](const char* key, int fallback) { return readProfileInt(path, kSection, key, fallback); };
    s.fullScreen = number("FULL_SCREEN", 0) != 0;
    s.windowScale = std::clamp(number("WINDOW_SCALE", 0), 0, 800);
    s.musicVolume = std::clamp(number("MUSIC_VOLUME", 100), 0, 100);
    s.effectVolume = std::clamp(number("SE_VOLUME", 100), 0, 100);
    s.confirmOnline = number("CONFIRM_ONLINE", 1) != 0;
    s.showFrameRate = number("SHOW_FPS", 1) != 0;
    s.padSwapped = number("PAD_SWAP", 0) != 0;
    static const char* const kNumbers[] = {"FULL_SCREEN", "WINDOW_SCALE", "MUSIC_VOLUME", "SE_VOLUME",
                                           "CONFIRM_ONLINE", "SHOW_FPS", "PAD_SWAP"};
    for (const auto& [name, value] : readProfileSection(path, kSection)) {
        const std::string key = upper(name);
        if (key == "LANGUAGE") {
            if (s.language.empty()) s.language = lower(value);
            if (!value.empty() && lower(value) != "ja" && lower(value) != "en") s.problems.push_back(name + "=" + value);
            continue;
        }
        const bool known = std::find(std::begin(kNumbers), std::end(kNumbers), key) != std::end(kNumbers);
        const std::size_t digit = !value.empty() && (value[0] == '-' || value[0] == '+') ? 1 : 0;
        const bool numeric = digit < value.size() && std::isdigit(static_cast<unsigned char>(value[digit]));
        if (!known || !numeric) s.problems.push_back(name + "=" + value);
    }
    s.keys = readProfileSection(path, "KEYS");
    return s;
}

std::string Settings::keysOf(const std::string& entry) const {
    for (const auto& [name, value] : keys)
        if (upper(name) == upper(entry)) return value;
    return {};
}

void Settings::setKeys(const std::string& entry, const std::string& names) {
    std::erase_if(keys, [&entry](const auto& e) { return upper(e.first) == upper(entry); });
    if (!names.empty()) keys.emplace_back(entry, names);
}

std::string Settings::text() const {
    auto flag = [](bool on) { return std::string(on ? "1" : "0"); };
    std::string t;
    t += "; Nimbulon's settings. The game's options page (on the title and in the pause menu)\n";
    t += "; changes them and writes this file again; by hand, change a value after its '='.\n";
    t += "\n[CONFIG]\n";
    t += "; 1: full screen; 0: a window (F11 or Alt+Enter switches while playing)\n";
    t += "FULL_SCREEN=" + flag(fullScreen) + "\n";
    t += "; the window's size in percent of 800 x 600 (100, 150, 200...); 0: the largest that fits\n";
    t += "WINDOW_SCALE=" + std::to_string(windowScale) + "\n";
    t += "; music volume, 0 (silent) to 100\n";
    t += "MUSIC_VOLUME=" + std::to_string(musicVolume) + "\n";
    t += "; sound effects volume, 0 (silent) to 100\n";
    t += "SE_VOLUME=" + std::to_string(effectVolume) + "\n";
    t += "; ja (Japanese) or en (English); left empty, the language of the locale (LANG)\n";
    t += "LANGUAGE=" + language + "\n";
    t += "; 1: ask before going on the Internet for the ranking; 0: go without asking\n";
    t += "CONFIRM_ONLINE=" + flag(confirmOnline) + "\n";
    t += "; 1: show the frame-rate line during a play; 0: hide it\n";
    t += "SHOW_FPS=" + flag(showFrameRate) + "\n";
    t += "; 0: a pad's south button (A / cross) fires and east (B / circle) is the bullet size; 1: the other way\n";
    t += "PAD_SWAP=" + flag(padSwapped) + "\n";
    t += "\n[KEYS]\n";
    t += "; The keys of each button, comma-separated SDL key names (Z, Space, Left Shift, Return,\n";
    t += "; Keypad 8, Up...). A button left out keeps its default: arrows to move, Z or Space\n";
    t += "; (BUTTON1: fire), X or Left Shift (BUTTON2: bullet size), C (BUTTON3: pause).\n";
    for (const char* entry : kKeyEntries) {
        const std::string value = keysOf(entry);
        if (!value.empty()) t += std::string(entry) + "=" + value + "\n";
    }
    // Entries this program does not know are kept for a program that does.
    for (const auto& [name, value] : keys)
        if (std::find(std::begin(kKeyEntries), std::end(kKeyEntries), upper(name)) == std::end(kKeyEntries))
            t += name + "=" + value + "\n";
    return t;
}

bool Settings::write(const std::string& path) const {
    const std::string t = text();
    return writeFileAtomically(path, std::vector<unsigned char>(t.begin(), t.end()));
}
