#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The initialisation file: in the working tree the one beside the executable, "<program>.ini"
// (the program's own path with ".ini" appended, since Linux executables carry no ".exe" to
// replace); installed or portable, nimbulon.ini in the configuration folder (app/Paths.h). Read,
// never written.
std::string configFilePath();

// Profile-integer lookup in the configuration file: the default when the file, section or key is
// missing; otherwise the leading decimal integer of the value (an optional sign, then digits;
// text that does not start with a digit reads as 0).
std::int32_t ReadConfigInt(const std::string& section, const std::string& key, std::int32_t defaultValue);
// Makes ReadConfigInt read another file (tests); an empty path goes back to the one beside the
// program.
void overrideConfigFile(const std::string& path);

// The same lookup in a given file (tests, tools).
std::int32_t readProfileInt(const std::string& path, const std::string& section, const std::string& key,
                            std::int32_t defaultValue);

// Every "key=value" entry of a section, in file order, keys and values trimmed (an empty list when
// the file or section is missing). Lines before any section, comments (";") and lines without
// "=" are skipped.
std::vector<std::pair<std::string, std::string>> readProfileSection(const std::string& path, const std::string& section);
