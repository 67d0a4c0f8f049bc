#pragma once
#include <string>
#include <utility>
#include <vector>

// The player's settings as nimbulon.ini keeps them: section [CONFIG] for the switches and levels,
// [KEYS] for the keys of each button (Input::bindKeys reads them). The game reads the file at
// start; the options page changes these values and writes the whole file back, with a comment on
// every entry, and the first start writes it with the defaults so a player can find it.
struct Settings {
    bool fullScreen = false;       // FULL_SCREEN
    int windowScale = 0;           // WINDOW_SCALE: percent of 800 x 600; 0 the largest that fits
    int musicVolume = 100;         // MUSIC_VOLUME, 0..100
    int effectVolume = 100;        // SE_VOLUME, 0..100
    std::string language;          // LANGUAGE: "ja", "en", or empty for the locale's
    bool confirmOnline = true;     // CONFIRM_ONLINE
    bool showFrameRate = true;     // SHOW_FPS: the play's frame-rate line
    bool padSwapped = false;       // PAD_SWAP: a pad's east button fires and south sizes
    // [CONFIG] entries this program cannot use, as "NAME=value": an unknown name, a number that is
    // not one, a language other than ja or en. Read, never written; the log tells the player.
    std::vector<std::string> problems;
    // [KEYS]: button entry (UP, DOWN, LEFT, RIGHT, BUTTON1, BUTTON2, BUTTON3) and its key names.
    std::vector<std::pair<std::string, std::string>> keys;

    // The file's values over the defaults; numbers as the profile functions read them, volumes
    // brought into 0..100. A missing file gives the defaults.
    static Settings read(const std::string& path);
    // The whole file, commented; false when it could not be written (the old file then stays).
    bool write(const std::string& path) const;
    std::string text() const;
    // The keys of one button entry as written, empty when the file leaves it to the defaults.
    std::string keysOf(const std::string& entry) const;
    void setKeys(const std::string& entry, const std::string& names);  // empty names: the default
};

// The window scales the options page offers, in percent; 0 is "the largest that fits".
inline constexpr int kWindowScales[] = {0, 100, 150, 200, 250, 300};
