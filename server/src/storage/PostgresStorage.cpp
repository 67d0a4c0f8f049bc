// The shared backend: PostgreSQL through libpq, for several server processes on several hosts
// sharing one database. Registration races are settled by the unique name, uploads of one player
// are serialised by locking the player's row.
#include <libpq-fe.h>
#include <cstdio>
#include <vector>
#include "storage/ConnectionPool.h"
#include "storage/PathMatch.h"
#include "storage/SchemaMigrations.h"
#include "storage/SqlSession.h"
#include "storage/PostgresQuery.h"
#include "storage/Storage.h"
#include "core/TextRules.h"

namespace {
using namespace pgdb;
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS players (
  id BIGSERIAL PRIMARY KEY,
  name TEXT NOT NULL UNIQUE,
  pass_hash TEXT NOT NULL,
  registered_at BIGINT NOT NULL);
CREATE TABLE IF NOT EXISTS plays (
  id BIGSERIAL PRIMARY KEY,
  player_id BIGINT NOT NULL REFERENCES players(id),
  mode INTEGER NOT NULL,
  version INTEGER NOT NULL,
  score INTEGER NOT NULL,
  stage INTEGER NOT NULL,
  lives INTEGER NOT NULL,
  frames INTEGER NOT NULL,
  comment TEXT NOT NULL,
  uploaded_at BIGINT NOT NULL,
  replay BYTEA NOT NULL,
  UNIQUE (player_id, mode));
CREATE INDEX IF NOT EXISTS plays_by_version ON plays (version, score DESC, id);
CREATE TABLE IF NOT EXISTS audit (
  id BIGSERIAL PRIMARY KEY,
  at BIGINT NOT NULL,
  actor TEXT NOT NULL,
  action TEXT NOT NULL,
  target TEXT NOT NULL,
  detail TEXT NOT NULL);
)";
// Held while the tables are made, so that servers starting together do not trip over each other.
constexpr const char* kSchemaLock = "SELECT pg_advisory_lock(715230412)";
constexpr const char* kSchemaUnlock = "SELECT pg_advisory_unlock(715230412)";

class PostgresStorage : public Storage {
public:
    explicit PostgresStorage(std::string url)
        : url_(std::move(url)),
          pool_({[this] { return open(); }, [](PGconn* db) { PQfinish(db); },
                 // A connection whose server went away meanwhile is replaced by a fresh one.
                 [](PGconn* db) { return PQstatus(db) == CONNECTION_OK; }}) {
        Connection c(pool_);
        Unhurried setUp(c.handle);
        run(c.handle, kSchemaLock);
        try {
            run(c.handle, kSchema);
            for (const std::string& step : schema::migrate(*postgresSessionOver(c.handle), schema::Dialect::Postgres))
                std::fprintf(stderr, "nimbulon-server: PostgreSQL: %s\n", step.c_str());
        } catch (...) {
            run(c.handle, kSchemaUnlock);
            throw;
        }
        run(c.handle, kSchemaUnlock);
    }

    std::optional<std::string> passwordHashOf(const std::string& name) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT CASE WHEN banned <> 0 THEN '!banned' ELSE pass_hash END FROM players "
                         "WHERE name_key = $1 ORDER BY name = $2 DESC, id LIMIT 1",
                         Params().add(textrules::nameKey(name)).add(name));
        if (r.rows() == 0) return std::nullopt;
        return r.text(0, 0);
    }

    Outcome store(const Play& play, std::int64_t* copied) override {
        Connection c(pool_);
        run(c.handle, "BEGIN");
        try {
            const Outcome outcome = storeInTransaction(c.handle, play, copied);
            run(c.handle, outcome == Outcome::Conflict || outcome == Outcome::Copy ? "ROLLBACK" : "COMMIT");
            return outcome;
        } catch (...) {
            PQclear(exec(c.handle, "ROLLBACK"));
            throw;
        }
    }

    std::vector<Entry> ranking(std::int32_t version, std::int64_t limit) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT plays.id, players.name, score, stage, uploaded_at, comment FROM plays "
                         "JOIN players ON players.id = plays.player_id WHERE version = $1 AND players.banned = 0 "
                         "AND superseded_by IS NULL ORDER BY score DESC, plays.id LIMIT $2",
                         Params().add(version).add(limit));
        std::vector<Entry> out;
        for (int i = 0; i < r.rows(); ++i)
            out.push_back({r.integer(i, 0), r.text(i, 1), static_cast<std::int32_t>(r.integer(i, 2)),
                           static_cast<std::int32_t>(r.integer(i, 3)), r.integer(i, 4), r.text(i, 5)});
        return out;
    }

    std::optional<Owner> ownerOf(const std::string& inputKey) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT players.name, play_id FROM play_inputs JOIN players ON players.id = play_inputs.player_id "
                         "WHERE input_key = $1",
                         Params().add(inputKey));
        if (r.rows() == 0) return std::nullopt;
        return Owner{r.text(0, 0), r.integer(0, 1)};
    }

    std::optional<std::string> replay(std::int64_t id) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT replay FROM plays JOIN players ON players.id = plays.player_id "
                         "WHERE plays.id = $1 AND players.banned = 0",
                         Params().add(id), /*binaryResult*/ true);
        if (r.rows() == 0) return std::nullopt;
        return r.text(0, 0);
    }

    std::optional<Play> play(std::int64_t id) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT players.name, mode, version, score, stage, lives, frames, comment, uploaded_at, "
                         "coalesce(chart, ''), coalesce(superseded_by, 0), banned, plays.id FROM plays "
                         "JOIN players ON players.id = plays.player_id WHERE plays.id = $1 AND players.banned = 0",
                         Params().add(id));
        if (r.rows() == 0) return std::nullopt;
        return playOf(r, 0);
    }

    std::vector<Play> history(const std::string& name) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT players.name, mode, version, score, stage, lives, frames, comment, uploaded_at, '', "
                         "coalesce(superseded_by, 0), banned, plays.id FROM plays "
                         "JOIN players ON players.id = plays.player_id WHERE players.name = $1 ORDER BY plays.id",
                         Params().add(name));
        std::vector<Play> out;
        for (int i = 0; i < r.rows(); ++i) out.push_back(playOf(r, i));
        return out;
    }

    std::vector<std::int64_t> playsWithoutChart() override {
        Connection c(pool_);
        Result r = query(c.handle, "SELECT id FROM plays WHERE chart IS NULL ORDER BY id", Params());
        std::vector<std::int64_t> out;
        for (int i = 0; i < r.rows(); ++i) out.push_back(r.integer(i, 0));
        return out;
    }

    void setChart(std::int64_t id, const std::string& chart) override {
        Connection c(pool_);
        query(c.handle, "UPDATE plays SET chart = $1 WHERE id = $2 AND chart IS NULL", Params().add(chart).add(id));
    }

    std::vector<std::int64_t> playsWithoutPath() override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT id FROM plays WHERE NOT EXISTS (SELECT 1 FROM play_paths WHERE play_id = plays.id) "
                         "ORDER BY id",
                         Params());
        std::vector<std::int64_t> out;
        for (int i = 0; i < r.rows(); ++i) out.push_back(r.integer(i, 0));
        return out;
    }

    void setPath(std::int64_t id, const std::string& path) override {
        Connection c(pool_);
        run(c.handle, "BEGIN");
        try {
            Result r = query(c.handle, "SELECT player_id, mode, version FROM plays WHERE id = $1", Params().add(id));
            if (r.rows() > 0)
                storePath(c.handle, id, r.integer(0, 0), static_cast<std::int32_t>(r.integer(0, 1)),
                          static_cast<std::int32_t>(r.integer(0, 2)), path);
            run(c.handle, "COMMIT");
        } catch (...) {
            PQclear(exec(c.handle, "ROLLBACK"));
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
    using Connection = ConnectionPool<PGconn*>::Lease;

    // The stored plays that share the most keys with the path.
    static std::vector<pathmatch::Candidate> candidates(PGconn* db, std::int32_t mode, std::int32_t version,
                                                        const std::string& path) {
        std::vector<pathmatch::Candidate> out;
        const std::vector<std::int64_t> keys = pathmatch::lookup(mode, version, path);
        if (keys.empty()) return out;
        Result r = query(db,
                         "SELECT k.play_id, p.player_id, p.path, players.name FROM (SELECT play_id, count(*) AS n "
                         "FROM play_path_keys WHERE path_key = ANY($1::bigint[]) GROUP BY play_id ORDER BY n DESC, "
                         "play_id LIMIT $2) AS k JOIN play_paths AS p ON p.play_id = k.play_id "
                         "JOIN players ON players.id = p.player_id WHERE p.mode = $3 AND p.version = $4 "
                         "ORDER BY k.n DESC, k.play_id",
                         Params().add(pathmatch::arrayLiteral(keys)).add(pathmatch::kMostCandidates).add(mode).add(version),
                         /*binaryResult*/ true);
        // Binary results: the numbers come as big-endian int8.
        auto int8 = [&](int row, int col) {
            const std::string b = r.text(row, col);
            std::uint64_t v = 0;
            for (unsigned char ch : b) v = v << 8 | ch;
            return static_cast<std::int64_t>(v);
        };
        for (int i = 0; i < r.rows(); ++i) out.push_back({int8(i, 0), int8(i, 1), r.text(i, 2), r.text(i, 3)});
        return out;
    }

    // A play's path and its keys, unless it has one already.
    static void storePath(PGconn* db, std::int64_t play, std::int64_t player, std::int32_t mode, std::int32_t version,
                          const std::string& path) {
        Result r = query(db,
                         "INSERT INTO play_paths (play_id, player_id, mode, version, path) VALUES ($1, $2, $3, $4, $5) "
                         "ON CONFLICT (play_id) DO NOTHING RETURNING play_id",
                         Params().add(play).add(player).add(mode).add(version).add(path, /*binary*/ true));
        if (r.rows() == 0) return;
        const std::vector<std::int64_t> keys = pathmatch::keys(mode, version, path);
        if (keys.empty()) return;
        query(db, "INSERT INTO play_path_keys (path_key, play_id) SELECT unnest($1::bigint[]), $2",
              Params().add(pathmatch::arrayLiteral(keys)).add(play));
    }

    // Row i of name, mode, version, score, stage, lives, frames, comment, uploaded_at, chart,
    // superseded_by, banned, id.
    static Play playOf(const Result& r, int i) {
        Play p;
        p.name = r.text(i, 0);
        p.mode = static_cast<std::int32_t>(r.integer(i, 1));
        p.version = static_cast<std::int32_t>(r.integer(i, 2));
        p.score = static_cast<std::int32_t>(r.integer(i, 3));
        p.stage = static_cast<std::int32_t>(r.integer(i, 4));
        p.lives = static_cast<std::int32_t>(r.integer(i, 5));
        p.frames = static_cast<std::int32_t>(r.integer(i, 6));
        p.comment = r.text(i, 7);
        p.uploadedAt = r.integer(i, 8);
        p.chart = r.text(i, 9);
        p.supersededBy = r.integer(i, 10);
        p.banned = r.integer(i, 11) != 0;
        p.id = r.integer(i, 12);
        return p;
    }

    PGconn* open() {
        PGconn* db = pgdb::connect(url_);
        PQclear(exec(db, "SET client_min_messages = warning"));
        return db;
    }

    static Outcome storeInTransaction(PGconn* db, const Play& play, std::int64_t* copied) {
        // Registrations of names that fold alike ("Ren", "ren") queue up on one lock until commit,
        // so that only the first makes a player; the others find it.
        const std::string key = textrules::nameKey(play.name);
        query(db, "SELECT pg_advisory_xact_lock(715230413, hashtext($1))", Params().add(key));
        const char* const kFind =
            "SELECT id, pass_hash, banned FROM players WHERE name_key = $1 ORDER BY name = $2 DESC, id LIMIT 1 "
            "FOR UPDATE";
        if (query(db, kFind, Params().add(key).add(play.name)).rows() == 0)
            query(db,
                  "INSERT INTO players (name, name_key, pass_hash, registered_at) VALUES ($1, $2, $3, $4) "
                  "ON CONFLICT (name) DO NOTHING",
                  Params().add(play.name).add(key).add(play.passwordHash).add(play.uploadedAt));
        std::int64_t playerId = 0;
        {
            Result r = query(db, kFind, Params().add(key).add(play.name));
            if (r.rows() != 1) throw StorageError("PostgreSQL: the player row vanished");
            if (r.integer(0, 2) != 0) return Outcome::Conflict;
            playerId = r.integer(0, 0);
            // An empty hash (a reset by an older server) is matched by no upload.
            if (r.text(0, 1).empty() || r.text(0, 1) != play.passwordHash) return Outcome::Conflict;
        }
        auto owner = [&](const Result& r) {
            if (r.integer(0, 0) == playerId) return Outcome::KeptEarlier;  // the same play again
            if (copied) *copied = r.integer(0, 1);
            return Outcome::Copy;
        };
        if (!play.inputKey.empty()) {
            Result r = query(db, "SELECT player_id, play_id FROM play_inputs WHERE input_key = $1", Params().add(play.inputKey));
            if (r.rows() > 0) return owner(r);
        }
        if (!play.path.empty()) {
            // One upload of a mode and version compares paths at a time: two copies of one play
            // sent at once under two names cannot both miss each other.
            query(db, "SELECT pg_advisory_xact_lock(715230413, $1)", Params().add(play.mode * 1000 + play.version));
            const std::vector<pathmatch::Candidate> found = candidates(db, play.mode, play.version, play.path);
            if (const pathmatch::Candidate* same = pathmatch::samePlay(found, play.path)) {
                if (same->player == playerId) return Outcome::KeptEarlier;  // the same play, dressed
                if (copied) *copied = same->play;
                return Outcome::Copy;
            }
        }
        std::int64_t earlier = 0;
        {
            Result r = query(db, "SELECT id, score FROM plays WHERE player_id = $1 AND mode = $2 AND superseded_by IS NULL",
                             Params().add(playerId).add(play.mode));
            if (r.rows() > 0) {
                if (r.integer(0, 1) >= play.score) return Outcome::KeptEarlier;
                // Kept, as every play once ranked: its addresses stay valid.
                earlier = r.integer(0, 0);
                query(db, "UPDATE plays SET superseded_by = -1 WHERE id = $1", Params().add(earlier));
            }
        }
        Result inserted = query(db,
              "INSERT INTO plays (player_id, mode, version, score, stage, lives, frames, comment, uploaded_at, replay, "
              "chart) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11) RETURNING id",
              Params()
                  .add(playerId)
                  .add(play.mode)
                  .add(play.version)
                  .add(play.score)
                  .add(play.stage)
                  .add(play.lives)
                  .add(play.frames)
                  .add(play.comment)
                  .add(play.uploadedAt)
                  .add(play.replay, /*binary*/ true)
                  .add(play.chart));
        if (earlier != 0)
            query(db, "UPDATE plays SET superseded_by = $1 WHERE id = $2", Params().add(inserted.integer(0, 0)).add(earlier));
        if (!play.inputKey.empty()) {
            // Another name's upload of the same input may have committed since the look-up above.
            Result r = query(db,
                             "INSERT INTO play_inputs (input_key, player_id, play_id) VALUES ($1, $2, $3) "
                             "ON CONFLICT (input_key) DO NOTHING RETURNING player_id",
                             Params().add(play.inputKey).add(playerId).add(inserted.integer(0, 0)));
            if (r.rows() == 0)
                return owner(query(db, "SELECT player_id, play_id FROM play_inputs WHERE input_key = $1",
                                   Params().add(play.inputKey)));
        }
        if (!play.path.empty())
            storePath(db, inserted.integer(0, 0), playerId, play.mode, play.version, play.path);
        // Every server listening drops its cached lists when this commits.
        run(db, "NOTIFY nimbulon_lists");
        return Outcome::Stored;
    }

    std::string url_;
    ConnectionPool<PGconn*> pool_;
};
}  // namespace

std::unique_ptr<Storage> openPostgresStorage(const std::string& url) { return std::make_unique<PostgresStorage>(url); }
