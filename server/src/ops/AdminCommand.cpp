#include "ops/AdminCommand.h"
#include <pwd.h>
#include <sodium.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>
#include "ops/ConfigFile.h"
#include "ops/DatabaseFile.h"
#include "http/Passwords.h"
#include "online/MD5.h"
#include "storage/Moderation.h"
#include "ops/SqliteBackup.h"
#include "storage/Storage.h"

namespace {
const char* kUsage =
    "usage: nimbulon-server admin [--db PATH|URL | --config FILE] [--by WHO] COMMAND\n"
    "  plays [--mode N] [--name TEXT]   stored plays (best first per mode); --name matches a part of it\n"
    "  players [--name TEXT]            registered names, their plays, bans and password resets\n"
    "  audit                            every change made with these commands\n"
    "  remove-play ID                   the play leaves the list; its replay is no longer served\n"
    "  ban NAME / unban NAME            a banned name's plays leave the lists; its uploads are answered 1\n"
    "  rename OLD NEW                   the player keeps plays and password under the new name\n"
    "  reset-password NAME              the name's password becomes the first line of standard input\n"
    "  reset-password --generate NAME   ... or a new random one, printed once to give to the owner\n"
    "  backup FILE                      a consistent copy of a live SQLite database (uploads go on)\n"
    "  restore FILE                     the database's content replaced by a copy made with backup,\n"
    "                                   brought to this version's tables first; servers go on serving\n"
    "  init                             makes a new database (the server makes none unless --create)\n"
    "The database is --db, or the \"db\" key of --config (the server's configuration file), or\n"
    "ranking.sqlite. --by names who acts in the audit (default: the user running the command).\n"
    "PostgreSQL is backed up with pg_dump and restored with pg_restore (see the README).\n";

std::string utc(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char out[32];
    std::strftime(out, sizeof out, "%Y-%m-%d %H:%M:%S", &tm);
    return out;
}

std::string defaultActor() {
    if (const char* sudo = std::getenv("SUDO_USER"); sudo && *sudo) return sudo;
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
    return "uid " + std::to_string(getuid());
}

// The line every change leaves in the log (standard error, which a service manager keeps).
void logChange(const Moderation::AuditEntry& e) {
    std::fprintf(stderr, "nimbulon-server admin: %s UTC by %s: %s \"%s\" (%s)\n", utc(e.at).c_str(), e.actor.c_str(),
                 e.action.c_str(), e.target.c_str(), e.detail.c_str());
}

bool wholeNumber(const std::string& s, std::int64_t& out) {
    if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoll(s);
    return true;
}

struct Invocation {
    std::string db = "ranking.sqlite", actor = defaultActor(), command;
    std::vector<std::string> args;
    std::map<std::string, std::string> filters;  // --mode, --name
    bool generate = false;                       // reset-password --generate
};

int listPlays(Moderation& m, const Invocation& in) {
    std::int64_t mode = 0;
    if (in.filters.count("--mode") && (!wholeNumber(in.filters.at("--mode"), mode) || mode < 1 || mode > 5)) {
        std::fprintf(stderr, "nimbulon-server admin: --mode needs a game mode from 1 to 5\n");
        return 2;
    }
    const std::string name = in.filters.count("--name") ? in.filters.at("--name") : "";
    std::printf("%8s %4s %7s %5s %5s %8s  %-19s  %-8s  %s\n", "id", "mode", "score", "stage", "lives", "frames",
                "uploaded (UTC)", "name", "comment");
    for (const Moderation::Play& p : m.plays()) {
        if ((mode && p.mode != mode) || p.name.find(name) == std::string::npos) continue;
        std::printf("%8lld %4d %7d %5d %5d %8d  %-19s  %-8s  %s%s\n", static_cast<long long>(p.id), p.mode, p.score,
                    p.stage, p.lives, p.frames, utc(p.uploadedAt).c_str(), p.name.c_str(), p.comment.c_str(),
                    p.banned ? "  [banned: not listed]" : "");
    }
    return 0;
}

int listPlayers(Moderation& m, const Invocation& in) {
    const std::string name = in.filters.count("--name") ? in.filters.at("--name") : "";
    std::printf("%8s  %-8s  %-19s  %5s  %s\n", "id", "name", "registered (UTC)", "plays", "state");
    for (const Moderation::Player& p : m.players()) {
        if (p.name.find(name) == std::string::npos) continue;
        std::string state = p.banned ? "banned" : "";
        if (p.passwordless) state += state.empty() ? "no password: reset it" : ", no password: reset it";
        std::printf("%8lld  %-8s  %-19s  %5d  %s\n", static_cast<long long>(p.id), p.name.c_str(),
                    utc(p.registeredAt).c_str(), p.plays, state.c_str());
    }
    return 0;
}

int listAudit(Moderation& m) {
    for (const Moderation::AuditEntry& e : m.audit())
        std::printf("%s UTC  %-12s  %-14s  %-10s  %s\n", utc(e.at).c_str(), e.actor.c_str(), e.action.c_str(),
                    e.target.c_str(), e.detail.c_str());
    return 0;
}

int backupOrRestore(const Invocation& in) {
    if (isPostgresUrl(in.db)) {
        std::fprintf(stderr, "nimbulon-server admin: a PostgreSQL database is %s with %s (see the README)\n",
                     in.command == "backup" ? "backed up" : "restored", in.command == "backup" ? "pg_dump" : "pg_restore");
        return 1;
    }
    if (in.command == "backup") {
        sqlitebackup::backup(in.db, in.args[0]);
        std::fprintf(stderr, "nimbulon-server admin: %s copied to %s\n", in.db.c_str(), in.args[0].c_str());
        return 0;
    }
    bool created = false;
    Moderation::AuditEntry row;
    try {
        row = sqlitebackup::restore(in.args[0], in.db, in.actor, &created);
    } catch (const StorageError& e) {
        // Every failure comes before the replacement.
        throw StorageError(std::string(e.what()) + " (the database was not changed)");
    }
    // The content is replaced: from here on only lines, never a failure.
    if (created) std::fprintf(stderr, "nimbulon-server admin: created a new database %s\n", databasefile::absolute(in.db).c_str());
    logChange(row);
    return 0;
}

// The password the operator hands the owner: typed or piped in (one line), or made here and shown
// once. The server keeps only the hash of its digest, as for a password the game sent.
std::string newPassword(const Invocation& in) {
    if (in.generate) {
        static const char kLetters[] = "abcdefghjkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789";
        std::string password;
        for (int i = 0; i < 12; ++i) password += kLetters[randombytes_uniform(sizeof kLetters - 1)];
        return password;
    }
    if (isatty(STDIN_FILENO)) std::fprintf(stderr, "new password for \"%s\": ", in.args[0].c_str());
    std::string line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';) line += static_cast<char>(c);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // What the game's entry dialog takes: 1 to 20 bytes.
    if (line.empty() || line.size() > 20)
        throw ModerationRefused("the new password (the first line of standard input) must have 1 to 20 bytes");
    for (unsigned char c : line)
        if (c < 0x20 || c == 0x7F) throw ModerationRefused("the new password holds a control character");
    return line;
}

int resetPassword(const Invocation& in) {
    if (!passwords::init()) throw StorageError("libsodium cannot start");
    const std::string password = newPassword(in);
    const std::string hash = passwords::hash(MD5::hexOf(password));
    if (hash.empty()) throw StorageError("password hashing failed");
    logChange(openModeration(in.db)->resetPassword(in.args[0], hash, in.actor));
    if (in.generate)
        std::printf("new password for \"%s\": %s\n(give it to the owner: it is shown this once and kept nowhere)\n",
                    in.args[0].c_str(), password.c_str());
    return 0;
}

int init(const Invocation& in) {
    if (databasefile::exists(in.db)) {
        if (isPostgresUrl(in.db)) {
            openStorage(in.db);  // the operator made the database; the tables are made here
            std::fprintf(stderr, "nimbulon-server admin: the ranking's tables are in %s\n", in.db.c_str());
            return 0;
        }
        throw ModerationRefused(in.db + " exists already: nothing made");
    }
    databasefile::create(in.db);
    openStorage(in.db);
    std::fprintf(stderr, "nimbulon-server admin: created a new database %s\n", databasefile::absolute(in.db).c_str());
    return 0;
}

// COMMAND, the number of arguments it takes, and what it does.
struct Command {
    const char* name;
    std::size_t arguments;
    std::function<int(const Invocation&)> run;
};

int change(const Invocation& in, const std::function<Moderation::AuditEntry(Moderation&)>& what) {
    logChange(what(*openModeration(in.db)));
    return 0;
}

const std::vector<Command>& commands() {
    static const std::vector<Command> table{
        {"plays", 0, [](const Invocation& in) { return listPlays(*openModeration(in.db), in); }},
        {"players", 0, [](const Invocation& in) { return listPlayers(*openModeration(in.db), in); }},
        {"audit", 0, [](const Invocation& in) { return listAudit(*openModeration(in.db)); }},
        {"remove-play", 1,
         [](const Invocation& in) {
             std::int64_t id = 0;
             if (!wholeNumber(in.args[0], id)) throw ModerationRefused("a play's id is a whole number");
             return change(in, [&](Moderation& m) { return m.removePlay(id, in.actor); });
         }},
        {"ban", 1, [](const Invocation& in) { return change(in, [&](Moderation& m) { return m.setBanned(in.args[0], true, in.actor); }); }},
        {"unban", 1, [](const Invocation& in) { return change(in, [&](Moderation& m) { return m.setBanned(in.args[0], false, in.actor); }); }},
        {"rename", 2, [](const Invocation& in) { return change(in, [&](Moderation& m) { return m.rename(in.args[0], in.args[1], in.actor); }); }},
        {"reset-password", 1, resetPassword},
        {"backup", 1, backupOrRestore},
        {"restore", 1, backupOrRestore},
        {"init", 0, init},
    };
    return table;
}

int usage(const std::string& problem) {
    std::fprintf(stderr, "nimbulon-server admin: %s\n%s", problem.c_str(), kUsage);
    return 2;
}
}  // namespace

int runAdminCommand(int argc, char** argv) {
    Invocation in;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--generate") {
            in.generate = true;
        } else if (arg == "--db" || arg == "--by" || arg == "--config" || arg == "--mode" || arg == "--name") {
            if (!hasValue || !*argv[i + 1]) return usage(arg + " needs a value");
            const std::string value = argv[++i];
            if (arg == "--db") {
                in.db = value;
            } else if (arg == "--by") {
                for (char ch : value)
                    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) return usage("--by takes a name on one line");
                in.actor = value;
            } else if (arg == "--config") {
                std::vector<ConfigEntry> entries;
                std::string error;
                if (!readConfigFile(value, entries, error)) return usage(error);
                for (const ConfigEntry& e : entries)
                    if (e.key == "db") in.db = e.value;
            } else {
                in.filters[arg] = value;
            }
        } else if (in.command.empty()) {
            in.command = arg;
        } else {
            in.args.push_back(arg);
        }
    }
    if (in.command.empty()) return usage("which command?");
    for (const Command& c : commands()) {
        if (in.command != c.name) continue;
        if (in.args.size() != c.arguments)
            return usage(in.command + " takes " + std::to_string(c.arguments) + " argument" + (c.arguments == 1 ? "" : "s"));
        if (!in.filters.empty() && in.command != "plays" && in.command != "players")
            return usage("--mode and --name filter the plays and players listings only");
        if (in.generate && in.command != "reset-password") return usage("--generate goes with reset-password only");
        try {
            // Only init and a restore make a database; a mistyped path is not one.
            if (!databasefile::exists(in.db) && in.command != "restore" && in.command != "init")
                throw StorageError("there is no database " + in.db + " (init makes one)");
            if (in.command != "backup" && in.command != "restore" && in.command != "init")
                openStorage(in.db);  // upgrades the tables
            return c.run(in);
        } catch (const ModerationRefused& e) {
            std::fprintf(stderr, "nimbulon-server admin: %s: %s\n", in.command.c_str(), e.what());
            return 1;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "nimbulon-server admin: %s failed: %s\n", in.command.c_str(), e.what());
            return 1;
        }
    }
    return usage("unknown command " + in.command);
}
