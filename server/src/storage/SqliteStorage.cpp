// The embedded backend: one SQLite file in WAL mode, a connection per concurrent caller, and
// BEGIN IMMEDIATE transactions so that writers queue up instead of failing half-way.
#include <sqlite3.h>
#include <cstdio>
#include <vector>
#include "storage/ConnectionPool.h"
#include "storage/PathMatch.h"
#include "storage/SchemaMigrations.h"
#include "storage/SqlSession.h"
#include "storage/SqliteStatement.h"
#include "storage/Storage.h"
#include "core/TextRules.h"

namespace {
using namespace sqlitedb;
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS players (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL UNIQUE,
  pass_hash TEXT NOT NULL,
  registered_at INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS plays (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  player_id INTEGER NOT NULL REFERENCES players(id),
  mode INTEGER NOT NULL,
  version INTEGER NOT NULL,
  score INTEGER NOT NULL,
  stage INTEGER NOT NULL,
  lives INTEGER NOT NULL,
  frames INTEGER NOT NULL,
  comment TEXT NOT NULL,
  uploaded_at INTEGER NOT NULL,
  replay BLOB NOT NULL,
  UNIQUE (player_id, mode));
CREATE INDEX IF NOT EXISTS plays_by_version ON plays (version, score DESC, id);
CREATE TABLE IF NOT EXISTS audit (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  at INTEGER NOT NULL,
  actor TEXT NOT NULL,
  action TEXT NOT NULL,
  target TEXT NOT NULL,
  detail TEXT NOT NULL);
)";

class SqliteStorage : public Storage {
public:
    explicit SqliteStorage(std::string path)
        : path_(std::move(path)),
          pool_({[this] { return open(); }, [](sqlite3* db) { sqlite3_close(db); }, [](sqlite3*) { return true; }}) {
        Connection c(pool_);
        exec(c.handle, "BEGIN IMMEDIATE");
        try {
            exec(c.handle, kSchema);
            exec(c.handle, "COMMIT");
        } catch (...) {
            sqlite3_exec(c.handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
        for (const std::string& step : schema::migrate(*sqliteSessionOver(c.handle), schema::Dialect::Sqlite))
            std::fprintf(stderr, "nimbulon-server: %s: %s\n", path_.c_str(), step.c_str());
    }

    std::optional<std::string> passwordHashOf(const std::string& name) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT CASE WHEN banned <> 0 THEN '!banned' ELSE pass_hash END FROM players "
                    "WHERE name_key = ? ORDER BY name = ? DESC, id LIMIT 1");
        s.bind(1, textrules::nameKey(name)).bind(2, name);
        if (!s.step()) return std::nullopt;
        return s.text(0);
    }

    Outcome store(const Play& play, std::int64_t* copied) override {
        Connection c(pool_);
        exec(c.handle, "BEGIN IMMEDIATE");
        try {
            const Outcome outcome = storeInTransaction(c.handle, play, copied);
            exec(c.handle, outcome == Outcome::Conflict || outcome == Outcome::Copy ? "ROLLBACK" : "COMMIT");
            return outcome;
        } catch (...) {
            sqlite3_exec(c.handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::vector<Entry> ranking(std::int32_t version, std::int64_t limit) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT plays.id, players.name, score, stage, uploaded_at, comment FROM plays "
                    "JOIN players ON players.id = plays.player_id WHERE version = ? AND players.banned = 0 "
                    "AND superseded_by IS NULL ORDER BY score DESC, plays.id LIMIT ?");
        s.bind(1, version);
        s.bind(2, limit);
        std::vector<Entry> out;
        while (s.step())
            out.push_back({s.integer(0), s.text(1), static_cast<std::int32_t>(s.integer(2)),
                           static_cast<std::int32_t>(s.integer(3)), s.integer(4), s.text(5)});
        return out;
    }

    std::optional<Owner> ownerOf(const std::string& inputKey) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT players.name, play_id FROM play_inputs JOIN players ON players.id = play_inputs.player_id "
                    "WHERE input_key = ?");
        s.bind(1, inputKey);
        if (!s.step()) return std::nullopt;
        return Owner{s.text(0), s.integer(1)};
    }

    std::optional<std::string> replay(std::int64_t id) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT replay FROM plays JOIN players ON players.id = plays.player_id "
                    "WHERE plays.id = ? AND players.banned = 0");
        s.bind(1, id);
        if (!s.step()) return std::nullopt;
        return s.text(0);
    }

    std::optional<Play> play(std::int64_t id) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT players.name, mode, version, score, stage, lives, frames, comment, uploaded_at, "
                    "coalesce(chart, ''), coalesce(superseded_by, 0), banned, plays.id FROM plays "
                    "JOIN players ON players.id = plays.player_id WHERE plays.id = ? AND players.banned = 0");
        s.bind(1, id);
        if (!s.step()) return std::nullopt;
        return playOf(s);
    }

    std::vector<Play> history(const std::string& name) override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT players.name, mode, version, score, stage, lives, frames, comment, uploaded_at, '', "
                    "coalesce(superseded_by, 0), banned, plays.id FROM plays "
                    "JOIN players ON players.id = plays.player_id WHERE players.name = ? ORDER BY plays.id");
        s.bind(1, name);
        std::vector<Play> out;
        while (s.step()) out.push_back(playOf(s));
        return out;
    }

    std::vector<std::int64_t> playsWithoutChart() override {
        Connection c(pool_);
        Statement s(c.handle, "SELECT id FROM plays WHERE chart IS NULL ORDER BY id");
        std::vector<std::int64_t> out;
        while (s.step()) out.push_back(s.integer(0));
        return out;
    }

    void setChart(std::int64_t id, const std::string& chart) override {
        Connection c(pool_);
        Statement s(c.handle, "UPDATE plays SET chart = ? WHERE id = ? AND chart IS NULL");
        s.bind(1, chart).bind(2, id);
        s.step();
    }

    std::vector<std::int64_t> playsWithoutPath() override {
        Connection c(pool_);
        Statement s(c.handle,
                    "SELECT id FROM plays WHERE NOT EXISTS (SELECT 1 FROM play_paths WHERE play_id = plays.id) ORDER BY id");
        std::vector<std::int64_t> out;
        while (s.step()) out.push_back(s.integer(0));
        return out;
    }

    void setPath(std::int64_t id, const std::string& path) override {
        Connection c(pool_);
        exec(c.handle, "BEGIN IMMEDIATE");
        try {
            Statement s(c.handle, "SELECT player_id, mode, version FROM plays WHERE id = ?");
            s.bind(1, id);
            if (s.step()) storePath(c.handle, id, s.integer(0), static_cast<std::int32_t>(s.integer(1)),
                                    static_cast<std::int32_t>(s.integer(2)), path);
            exec(c.handle, "COMMIT");
        } catch (...) {
            sqlite3_exec(c.handle, "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }

    std::optional<Owner> samePathAs(std::int32_t mode, std::int32_t version, const std::string& path) override {
        Connection c(pool_);
        const std::vector<pathmatch::Candidate> found = candidates(c.handle, mode, version, path);
        const pathmatch::Candidate* same = pathmatch::samePlay(found, path);
        if (!same) return std::nullopt;
        return Owner{same->name, same->play};
    }

private:
    using Connection = ConnectionPool<sqlite3*>::Lease;

    // The stored plays that share the most keys with the path.
    static std::vector<pathmatch::Candidate> candidates(sqlite3* db, std::int32_t mode, std::int32_t version,
                                                        const std::string& path) {
        std::vector<pathmatch::Candidate> out;
        const std::vector<std::int64_t> keys = pathmatch::lookup(mode, version, path);
        if (keys.empty()) return out;
        Statement s(db,
                    "SELECT k.play_id, p.player_id, p.path, players.name FROM (SELECT play_id, count(*) AS n "
                    "FROM play_path_keys WHERE path_key IN (SELECT value FROM json_each(?)) GROUP BY play_id "
                    "ORDER BY n DESC, play_id LIMIT ?) AS k JOIN play_paths AS p ON p.play_id = k.play_id "
                    "JOIN players ON players.id = p.player_id WHERE p.mode = ? AND p.version = ? "
                    "ORDER BY k.n DESC, k.play_id");
        s.bind(1, pathmatch::jsonList(keys)).bind(2, pathmatch::kMostCandidates).bind(3, mode).bind(4, version);
        while (s.step()) out.push_back({s.integer(0), s.integer(1), s.text(2), s.text(3)});
        return out;
    }

    // A play's path and its keys, unless it has one already.
    static void storePath(sqlite3* db, std::int64_t play, std::int64_t player, std::int32_t mode, std::int32_t version,
                          const std::string& path) {
        Statement s(db, "INSERT OR IGNORE INTO play_paths (play_id, player_id, mode, version, path) VALUES (?, ?, ?, ?, ?)");
        s.bind(1, play).bind(2, player).bind(3, mode).bind(4, version).bindBlob(5, path);
        s.step();
        if (sqlite3_changes(db) == 0) return;
        for (const std::int64_t key : pathmatch::keys(mode, version, path)) {
            Statement k(db, "INSERT INTO play_path_keys (path_key, play_id) VALUES (?, ?)");
            k.bind(1, key).bind(2, play);
            k.step();
        }
    }

    // A row of name, mode, version, score, stage, lives, frames, comment, uploaded_at, chart,
    // superseded_by, banned, id.
    static Play playOf(Statement& s) {
        Play p;
        p.name = s.text(0);
        p.mode = static_cast<std::int32_t>(s.integer(1));
        p.version = static_cast<std::int32_t>(s.integer(2));
        p.score = static_cast<std::int32_t>(s.integer(3));
        p.stage = static_cast<std::int32_t>(s.integer(4));
        p.lives = static_cast<std::int32_t>(s.integer(5));
        p.frames = static_cast<std::int32_t>(s.integer(6));
        p.comment = s.text(7);
        p.uploadedAt = s.integer(8);
        p.chart = s.text(9);
        p.supersededBy = s.integer(10);
        p.banned = s.integer(11) != 0;
        p.id = s.integer(12);
        return p;
    }

    sqlite3* open() {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                            nullptr) != SQLITE_OK) {
            std::string message = db ? sqlite3_errmsg(db) : "out of memory";
            sqlite3_close(db);
            throw StorageError("cannot open " + path_ + ": " + message);
        }
        try {
            sqlite3_busy_timeout(db, 30000);
            // WAL: readers never wait for the writer, and a commit is one append to the log.
            // FULL: a commit is on the disk before the player is told it was stored.
            Statement mode(db, "PRAGMA journal_mode = WAL");
            if (!mode.step() || mode.text(0) != "wal") throw StorageError("cannot switch " + path_ + " to WAL mode");
            exec(db, "PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON");
        } catch (...) {
            sqlite3_close(db);
            throw;
        }
        return db;
    }

    static Outcome storeInTransaction(sqlite3* db, const Play& play, std::int64_t* copied) {
        std::int64_t playerId = 0;
        {
            // The player whose name folds as this one does: the row of the exact name first.
            Statement s(db,
                        "SELECT id, pass_hash, banned FROM players WHERE name_key = ? ORDER BY name = ? DESC, id "
                        "LIMIT 1");
            s.bind(1, textrules::nameKey(play.name)).bind(2, play.name);
            if (s.step()) {
                if (s.integer(2) != 0) return Outcome::Conflict;
                playerId = s.integer(0);
                // An empty hash (a reset by an older server) is matched by no upload: the name is
                // never the first comer's.
                if (s.text(1).empty() || s.text(1) != play.passwordHash) return Outcome::Conflict;
            }
        }
        if (playerId == 0) {
            Statement s(db, "INSERT INTO players (name, name_key, pass_hash, registered_at) VALUES (?, ?, ?, ?)");
            s.bind(1, play.name).bind(2, textrules::nameKey(play.name)).bind(3, play.passwordHash).bind(4, play.uploadedAt);
            s.step();
            playerId = sqlite3_last_insert_rowid(db);
        }
        if (!play.inputKey.empty()) {
            Statement s(db, "SELECT player_id, play_id FROM play_inputs WHERE input_key = ?");
            s.bind(1, play.inputKey);
            if (s.step()) {
                if (s.integer(0) == playerId) return Outcome::KeptEarlier;  // the same play again
                if (copied) *copied = s.integer(1);
                return Outcome::Copy;
            }
        }
        if (!play.path.empty()) {
            const std::vector<pathmatch::Candidate> found = candidates(db, play.mode, play.version, play.path);
            if (const pathmatch::Candidate* same = pathmatch::samePlay(found, play.path)) {
                if (same->player == playerId) return Outcome::KeptEarlier;  // the same play, dressed
                if (copied) *copied = same->play;
                return Outcome::Copy;
            }
        }
        std::int64_t earlier = 0;
        {
            Statement s(db, "SELECT id, score FROM plays WHERE player_id = ? AND mode = ? AND superseded_by IS NULL");
            s.bind(1, playerId).bind(2, play.mode);
            if (s.step()) {
                if (s.integer(1) >= play.score) return Outcome::KeptEarlier;
                earlier = s.integer(0);
                // Kept, as every play once ranked: its addresses stay valid.
                Statement d(db, "UPDATE plays SET superseded_by = -1 WHERE id = ?");
                d.bind(1, earlier);
                d.step();
            }
        }
        Statement s(db,
                    "INSERT INTO plays (player_id, mode, version, score, stage, lives, frames, comment, uploaded_at, "
                    "replay, chart) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, playerId).bind(2, play.mode).bind(3, play.version).bind(4, play.score).bind(5, play.stage);
        s.bind(6, play.lives).bind(7, play.frames).bind(8, play.comment).bind(9, play.uploadedAt).bindBlob(10, play.replay);
        s.bind(11, play.chart);
        s.step();
        const std::int64_t playId = sqlite3_last_insert_rowid(db);
        if (earlier != 0) {
            Statement u(db, "UPDATE plays SET superseded_by = ? WHERE id = ?");
            u.bind(1, playId).bind(2, earlier);
            u.step();
        }
        if (!play.inputKey.empty()) {
            Statement o(db, "INSERT INTO play_inputs (input_key, player_id, play_id) VALUES (?, ?, ?)");
            o.bind(1, play.inputKey).bind(2, playerId).bind(3, playId);
            o.step();
        }
        if (!play.path.empty()) storePath(db, playId, playerId, play.mode, play.version, play.path);
        return Outcome::Stored;
    }

    std::string path_;
    ConnectionPool<sqlite3*> pool_;
};
}  // namespace

std::unique_ptr<Storage> openSqliteStorage(const std::string& path) { return std::make_unique<SqliteStorage>(path); }
