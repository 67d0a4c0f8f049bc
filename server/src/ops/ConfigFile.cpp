#include "ops/ConfigFile.h"
#include <fstream>
#include <map>
#include <sstream>
#include "http/ServerOptions.h"

namespace {
std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

// Which options take a value and which are switches, read from the usage text itself, so that an
// option added there is a key here too: "  --listen HOST:PORT  ..." takes one, "  --quiet  no
// log ..." does not (its next word is not a capitalised placeholder).
std::map<std::string, bool> serverKeys() {
    std::map<std::string, bool> keys;
    std::istringstream usage(serverUsage());
    std::string line;
    while (std::getline(usage, line)) {
        std::istringstream words(line);
        std::string option, next;
        if (!(words >> option) || option.rfind("--", 0) != 0) continue;
        words >> next;
        bool placeholder = !next.empty();
        for (char c : next)
            if (!(std::isupper(static_cast<unsigned char>(c)) || c == ':' || c == '|' || c == '_')) placeholder = false;
        keys[option.substr(2)] = placeholder;
    }
    keys.erase("help");
    keys.erase("config");
    return keys;
}
}  // namespace

bool readConfigFile(const std::string& path, std::vector<ConfigEntry>& entries, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the configuration file " + path;
        return false;
    }
    std::map<std::string, int> seen;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        // A comment starts at a '#' that begins the line or follows a blank, whatever the key: it
        // never becomes part of a value. A '#' inside a word is refused rather than guessed at.
        for (std::size_t at = 0; (at = text.find('#', at)) != std::string::npos; ++at) {
            if (at == 0 || text[at - 1] == ' ' || text[at - 1] == '\t') {
                text.erase(at);
                break;
            }
            error = where + "a '#' inside a value (a comment needs a blank before it)";
            return false;
        }
        const std::string line = trimmed(text);
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || trimmed(line.substr(0, eq)).empty()) {
            error = where + "not a \"key = value\" line";
            return false;
        }
        ConfigEntry e{number, trimmed(line.substr(0, eq)), trimmed(line.substr(eq + 1))};
        if (auto [it, fresh] = seen.emplace(e.key, number); !fresh) {
            error = where + "key \"" + e.key + "\" was already given on line " + std::to_string(it->second);
            return false;
        }
        entries.push_back(std::move(e));
    }
    if (in.bad()) {
        error = "cannot read the configuration file " + path;
        return false;
    }
    return true;
}

bool expandServerConfig(const std::vector<std::string>& args, std::vector<std::string>& expanded, std::string& error) {
    const std::map<std::string, bool> keys = serverKeys();
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--config") {
            expanded.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = "--config needs a file";
            return false;
        }
        const std::string path = args[++i];
        std::vector<ConfigEntry> entries;
        if (!readConfigFile(path, entries, error)) return false;
        for (const ConfigEntry& e : entries) {
            const std::string where = path + ":" + std::to_string(e.line) + ": key \"" + e.key + "\": ";
            const auto key = keys.find(e.key);
            if (key == keys.end()) {
                error = path + ":" + std::to_string(e.line) + ": unknown key \"" + e.key + "\"";
                return false;
            }
            std::vector<std::string> option{"--" + e.key};
            if (key->second) {
                option.push_back(e.value);
            } else if (e.value != "true" && e.value != "false") {
                error = where + "takes true or false, not \"" + e.value + "\"";
                return false;
            } else if (e.value == "false") {
                continue;
            }
            // Checked on its own, so that the message is about this key.
            std::vector<char*> argv;
            for (std::string& a : option) argv.push_back(a.data());
            ServerOptions scratch;
            bool help = false;
            std::string why;
            if (!parseServerOptions(static_cast<int>(argv.size()), argv.data(), scratch, help, why)) {
                if (why.rfind(option[0], 0) == 0) why = trimmed(why.substr(option[0].size()));
                error = where + why + " (got \"" + e.value + "\")";
                return false;
            }
            expanded.insert(expanded.end(), option.begin(), option.end());
        }
    }
    return true;
}
