#include "storage/SchemaMigrations.h"
#include <ctime>
#include <map>
#include <regex>
#include <sstream>
#include "core/PlayInput.h"
#include "core/TextRules.h"
#include "storage/SqlSession.h"
#include "storage/Storage.h"
#include "records/Score.h"

namespace schema {
namespace {
std::int64_t integer(const std::string& s) { return s.empty() ? 0 : std::stoll(s); }

std::string fromHex(const std::string& hex) {
    auto nibble = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(nibble(hex[i]) << 4 | nibble(hex[i + 1]));
    return out;
}

// 1: names can be banned (databases made before the operator's commands lack the column).
void bannedColumn(SqlSession& db, Dialect dialect) {
    if (dialect == Dialect::Postgres) {
        db.query("ALTER TABLE players ADD COLUMN IF NOT EXISTS banned INTEGER NOT NULL DEFAULT 0");
        return;
    }
    if (integer(db.query("SELECT count(*) FROM pragma_table_info('players') WHERE name = 'banned'").at(0).at(0)) == 0)
        db.query("ALTER TABLE players ADD COLUMN banned INTEGER NOT NULL DEFAULT 0");
}

// 2: one play, one owner. Every stored play's input gets its owner; of plays stored before with
// the same input under several names, the first stored keeps it and the later copies are removed
// (each one noted in the audit with the play it copies).
void playOwners(SqlSession& db, Dialect dialect) {
    db.query(dialect == Dialect::Postgres
                 ? "CREATE TABLE play_inputs (input_key TEXT PRIMARY KEY, player_id BIGINT NOT NULL "
                   "REFERENCES players(id), play_id BIGINT NOT NULL)"
                 : "CREATE TABLE play_inputs (input_key TEXT PRIMARY KEY, player_id INTEGER NOT NULL "
                   "REFERENCES players(id), play_id INTEGER NOT NULL)");
    const char* select = dialect == Dialect::Postgres
                             ? "SELECT plays.id, player_id, frames, encode(replay, 'hex'), players.name FROM plays "
                               "JOIN players ON players.id = plays.player_id ORDER BY plays.id"
                             : "SELECT plays.id, player_id, frames, hex(replay), players.name FROM plays "
                               "JOIN players ON players.id = plays.player_id ORDER BY plays.id";
    std::map<std::string, std::pair<std::string, std::string>> owners;  // key: player id, play id
    for (const SqlSession::Row& r : db.query(select)) {
        Score record(nullptr);
        std::istringstream in(fromHex(r[3]));
        if (!record.read(in)) continue;  // stored before the checks could read it: it owns nothing
        const std::string key = playInputKey(record, integer(r[2]));
        const auto found = owners.find(key);
        if (found == owners.end()) {
            owners[key] = {r[1], r[0]};
            db.query("INSERT INTO play_inputs (input_key, player_id, play_id) VALUES ($1, $2, $3)", {key, r[1], r[0]});
        } else if (found->second.first != r[1]) {
            db.query("DELETE FROM plays WHERE id = $1", {r[0]});
            db.query("INSERT INTO audit (at, actor, action, target, detail) VALUES ($1, 'upgrade', 'remove-play', $2, $3)",
                     {std::to_string(std::time(nullptr)), r[0],
                      "player " + r[4] + ": a copy of play " + found->second.second});
        }
    }
}

// 3: the chart of each play, drawn from its re-simulation. Plays stored before have none (NULL)
// until the server re-simulates them once; an empty text is a play that gave no chart.
void playCharts(SqlSession& db, Dialect) { db.query("ALTER TABLE plays ADD COLUMN chart TEXT"); }

// 4: a player is known by the name's NFKC case fold, so that "Ren" and "ren" are one player.
// Names stored before that fold alike stay the rows they are (each keeps its plays and password);
// an upload under such a name goes to the row of that exact name, or else to the earliest.
void nameKeys(SqlSession& db, Dialect) {
    db.query("ALTER TABLE players ADD COLUMN name_key TEXT NOT NULL DEFAULT ''");
    for (const SqlSession::Row& r : db.query("SELECT id, name FROM players ORDER BY id"))
        db.query("UPDATE players SET name_key = $1 WHERE id = $2", {textrules::nameKey(r[1]), r[0]});
    db.query("CREATE INDEX players_by_key ON players (name_key, id)");
}

// 5: each play's path (PlayPath::encode; empty when its check gave none) and the keys it is found by
// (pathKeys). Both outlive the play: a path stays its player's when a better play replaces it, as
// its input does. Plays stored before have none until the server re-simulates them once.
void playPaths(SqlSession& db, Dialect dialect) {
    const bool pg = dialect == Dialect::Postgres;
    db.query(pg ? "CREATE TABLE play_paths (play_id BIGINT PRIMARY KEY, player_id BIGINT NOT NULL REFERENCES players(id), "
                  "mode INTEGER NOT NULL, version INTEGER NOT NULL, path BYTEA NOT NULL)"
                : "CREATE TABLE play_paths (play_id INTEGER PRIMARY KEY, player_id INTEGER NOT NULL REFERENCES players(id), "
                  "mode INTEGER NOT NULL, version INTEGER NOT NULL, path BLOB NOT NULL)");
    db.query(pg ? "CREATE TABLE play_path_keys (path_key BIGINT NOT NULL, play_id BIGINT NOT NULL)"
                : "CREATE TABLE play_path_keys (path_key INTEGER NOT NULL, play_id INTEGER NOT NULL)");
    db.query("CREATE INDEX play_path_keys_by_key ON play_path_keys (path_key, play_id)");
}

// 6: a player's history stays. A better play no longer replaces the one before, which is kept and
// points to the play that superseded it; each player's best of a mode is the play of that mode
// that nothing superseded (one at most, which the partial index holds to). SQLite cannot drop a
// table's constraint, so there the table is made again from its own definition without it.
void playHistory(SqlSession& db, Dialect dialect) {
    if (dialect == Dialect::Postgres) {
        db.query("ALTER TABLE plays DROP CONSTRAINT IF EXISTS plays_player_id_mode_key");
        db.query("ALTER TABLE plays ADD COLUMN superseded_by BIGINT");
    } else {
        const std::string definition = db.query("SELECT sql FROM sqlite_master WHERE type = 'table' AND name = 'plays'").at(0).at(0);
        static const std::regex unique(R"(,\s*UNIQUE\s*\(\s*player_id\s*,\s*mode\s*\))", std::regex::icase);
        std::string without = std::regex_replace(definition, unique, "");
        if (without != definition) {
            const std::size_t name = without.find("plays");
            without.replace(name, 5, "plays_history");
            db.query(without.c_str());
            db.query("INSERT INTO plays_history SELECT * FROM plays");
            db.query("DROP TABLE plays");
            db.query("ALTER TABLE plays_history RENAME TO plays");
            db.query("CREATE INDEX IF NOT EXISTS plays_by_version ON plays (version, score DESC, id)");
        }
        db.query("ALTER TABLE plays ADD COLUMN superseded_by INTEGER");
    }
    db.query("CREATE UNIQUE INDEX plays_best ON plays (player_id, mode) WHERE superseded_by IS NULL");
    db.query("CREATE INDEX plays_by_player ON plays (player_id, id)");
}

const std::vector<Migration> kMigrations = {
    {1, "players can be banned", &bannedColumn},
    {2, "one owner for each play's input", &playOwners},
    {3, "a chart for each play", &playCharts},
    {4, "players known by their names' NFKC case fold", &nameKeys},
    {5, "a path for each play, found by its keys", &playPaths},
    {6, "superseded plays kept", &playHistory},
};
}  // namespace

const std::vector<Migration>& migrations() { return kMigrations; }
int latestVersion() { return kMigrations.empty() ? 0 : kMigrations.back().version; }

int currentVersion(SqlSession& db) {
    db.query("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
    const auto rows = db.query("SELECT version FROM schema_version");
    if (rows.empty()) {
        db.query("INSERT INTO schema_version (version) VALUES (0)");
        return 0;
    }
    return static_cast<int>(integer(rows.at(0).at(0)));
}

std::vector<std::string> migrate(SqlSession& db, Dialect dialect) {
    std::vector<std::string> steps;
    for (const Migration& m : kMigrations) {
        db.begin();
        try {
            const int now = currentVersion(db);
            if (now > latestVersion()) {
                throw StorageError("the database is at schema version " + std::to_string(now) +
                                   ", newer than this server knows (" + std::to_string(latestVersion()) + ")");
            }
            if (now >= m.version) {
                db.commit();
                continue;
            }
            m.apply(db, dialect);
            db.query("UPDATE schema_version SET version = $1", {std::to_string(m.version)});
            db.commit();
            steps.push_back("schema from " + std::to_string(now) + " to " + std::to_string(m.version) + ": " + m.what);
        } catch (...) {
            db.rollback();
            throw;
        }
    }
    return steps;
}

}  // namespace schema
