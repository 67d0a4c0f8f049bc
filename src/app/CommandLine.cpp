#include "app/CommandLine.h"

namespace {
constexpr const char* kHelp =
    "Usage: nimbulon [OPTION]...\n"
    "A vertical shoot-'em-up.\n"
    "\n"
    "  --fullscreen      start in full screen (this start only)\n"
    "  --windowed        start in a window (this start only)\n"
    "  --data-dir DIR    keep everything in DIR: the game's data, saves, replays,\n"
    "                    the log, nimbulon.ini and server.txt (a portable copy)\n"
    "  --help            show this help and exit\n"
    "  --version         show the version and exit\n"
    "\n"
    "Installed, the game writes saves, replays and its log to $XDG_DATA_HOME/nimbulon\n"
    "(~/.local/share/nimbulon) and reads nimbulon.ini and server.txt from\n"
    "$XDG_CONFIG_HOME/nimbulon (~/.config/nimbulon).\n";

CommandLine fail(const std::string& message) {
    CommandLine line;
    line.exitNow = true;
    line.exitStatus = 2;
    line.error = "nimbulon: " + message + " (try --help)\n";
    return line;
}
}  // namespace

CommandLine parseCommandLine(const std::vector<std::string>& args, const std::string& version) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            CommandLine help;
            help.exitNow = true;
            help.out = kHelp;
            return help;
        }
        if (arg == "--version") {
            CommandLine shown;
            shown.exitNow = true;
            shown.out = "nimbulon " + version + "\n";
            return shown;
        }
        if (arg == "--fullscreen") {
            line.fullScreen = true;
        } else if (arg == "--windowed") {
            line.fullScreen = false;
        } else if (arg == "--data-dir" || arg.rfind("--data-dir=", 0) == 0) {
            const bool joined = arg.size() > 10;
            if (!joined && i + 1 >= args.size()) return fail("option '--data-dir' needs a folder");
            line.dataDir = joined ? arg.substr(11) : args[++i];
            if (line.dataDir.empty()) return fail("option '--data-dir' needs a folder");
        } else {
            return fail((arg.rfind('-', 0) == 0 ? "unknown option '" : "unexpected argument '") + arg + "'");
        }
    }
    return line;
}
