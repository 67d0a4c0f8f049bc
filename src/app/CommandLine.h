#pragma once
#include <optional>
#include <string>
#include <vector>

// The game's command line: --help, --version, --fullscreen / --windowed (this start only, over the
// ini's FULL_SCREEN), --data-dir DIR (a portable copy: data, saves and settings all in DIR).
struct CommandLine {
    std::optional<bool> fullScreen;
    std::string dataDir;
    // Set when the program is to end at once: the text for stdout (help, version) or stderr
    // (a wrong option), and the exit status.
    bool exitNow = false;
    int exitStatus = 0;
    std::string out;
    std::string error;
};

CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& version);
