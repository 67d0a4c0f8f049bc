#pragma once
#include <string>
#include <vector>

// The server's configuration file, for a service manager's unit: one "key = value" a line, the
// keys being the command-line options without their "--" ("listen = 0.0.0.0:8080",
// "quiet = true"); blank lines are skipped, and a comment runs from a '#' at the start of a line
// or after a blank to the line's end ("db = ranking.sqlite  # the live ranking" is ranking.sqlite).
// A '#' inside a word is refused with the file and line.
struct ConfigEntry {
    int line = 0;
    std::string key, value;
};

// The entries of FILE; false with "FILE:LINE: why" in error for a line that is not "key = value",
// a key given twice, or a file that cannot be read.
bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::string& error);

// The server's arguments with every "--config FILE" replaced by the options the file gives, so
// that what follows it on the command line wins. Every value is checked here, so that the error
// names the file, the line and the key.
bool expandServerConfig(const std::vector<std::string>& args, std::vector<std::string>& expanded, std::string& error);
