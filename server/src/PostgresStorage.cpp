// The shared backend: PostgreSQL through libpq, for several server processes on several hosts
// sharing one database. Registration races are settled by the unique name, uploads of one player
// are serialised by locking the player's row.
#include <libpq-fe.h>
#include <vector>
#include "ConnectionPool.h"
#include "Storage.h"

namespace {
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
)";
// Held while the tables are made, so that servers starting together do not trip over each other.
constexpr const char* kSchemaLock = "SELECT pg_advisory_lock(715230412)";
constexpr const char* kSchemaUnlock = "SELECT pg_advisory_unlock(715230412)";

// A result that frees itself.
class Result {
public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    int rows() const { return PQntuples(r_); }
    std::string text(int row, int col) const {
        return std::string(PQgetvalue(r_, row, col), static_cast<std::size_t>(PQgetlength(r_, row, col)));
    }
    std::int64_t integer(int row, int col) const { return std::stoll(text(row, col)); }

private:
    PGresult* r_;
};

// Parameters as text, except those marked binary (the replay's bytes).
struct Params {
    std::vector<std::string> values;
    std::vector<int> formats;
    Params& add(const std::string& v, bool binary = false) {
        values.push_back(v);
        formats.push_back(binary ? 1 : 0);
        return *this;
    }
    Params& add(std::int64_t v) { return add(std::to_string(v)); }
};

class PostgresStorage : public Storage {
public:
    explicit PostgresStorage(std::string url)
        : url_(std::move(url)),
          pool_({[this] { return open(); }, [](PGconn* db) { PQfinish(db); },
                 // A connection whose server went away meanwhile is replaced by a fresh one.
                 [](PGconn* db) { return PQstatus(db) == CONNECTION_OK; }}) {
        Connection c(pool_);
        run(c.handle, kSchemaLock);
        try {
            run(c.handle, kSchema);
        } catch (...) {
            run(c.handle, kSchemaUnlock);
            throw;
        }
        run(c.handle, kSchemaUnlock);
    }

    std::optional<std::string> passwordHashOf(const std::string& name) override {
        Connection c(pool_);
        Result r = query(c.handle, "SELECT pass_hash FROM players WHERE name = $1", Params().add(name));
        if (r.rows() == 0) return std::nullopt;
        return r.text(0, 0);
    }

    Outcome store(const Play& play) override {
        Connection c(pool_);
        run(c.handle, "BEGIN");
        try {
            const Outcome outcome = storeInTransaction(c.handle, play);
            run(c.handle, outcome == Outcome::Conflict ? "ROLLBACK" : "COMMIT");
            return outcome;
        } catch (...) {
            PQclear(PQexec(c.handle, "ROLLBACK"));
            throw;
        }
    }

    std::vector<Entry> ranking(std::int32_t version) override {
        Connection c(pool_);
        Result r = query(c.handle,
                         "SELECT plays.id, players.name, score, stage, uploaded_at, comment FROM plays "
                         "JOIN players ON players.id = plays.player_id WHERE version = $1 ORDER BY score DESC, plays.id",
                         Params().add(version));
        std::vector<Entry> out;
        for (int i = 0; i < r.rows(); ++i)
            out.push_back({r.integer(i, 0), r.text(i, 1), static_cast<std::int32_t>(r.integer(i, 2)),
                           static_cast<std::int32_t>(r.integer(i, 3)), r.integer(i, 4), r.text(i, 5)});
        return out;
    }

    std::optional<std::string> replay(std::int64_t id) override {
        Connection c(pool_);
        Result r = query(c.handle, "SELECT replay FROM plays WHERE id = $1", Params().add(id), /*binaryResult*/ true);
        if (r.rows() == 0) return std::nullopt;
        return r.text(0, 0);
    }

private:
    using Connection = ConnectionPool<PGconn*>::Lease;

    PGconn* open() {
        PGconn* db = PQconnectdb(url_.c_str());
        if (PQstatus(db) != CONNECTION_OK) {
            std::string message = PQerrorMessage(db);
            PQfinish(db);
            throw StorageError("cannot connect to PostgreSQL: " + message);
        }
        PQclear(PQexec(db, "SET client_min_messages = warning"));
        return db;
    }

    // The result of a statement that worked; a failed one is freed and thrown as its message.
    static Result checked(PGresult* r) {
        const ExecStatusType status = PQresultStatus(r);
        if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
            std::string message = PQresultErrorMessage(r);
            PQclear(r);
            throw StorageError("PostgreSQL: " + message);
        }
        return Result(r);
    }

    // A statement without parameters (several may be given at once); rows it returns are dropped.
    static void run(PGconn* db, const char* sql) { checked(PQexec(db, sql)); }

    static Result query(PGconn* db, const char* sql, const Params& p, bool binaryResult = false) {
        std::vector<const char*> values;
        std::vector<int> lengths;
        for (const std::string& v : p.values) {
            values.push_back(v.data());
            lengths.push_back(static_cast<int>(v.size()));
        }
        return checked(PQexecParams(db, sql, static_cast<int>(values.size()), nullptr, values.data(), lengths.data(),
                                    p.formats.data(), binaryResult ? 1 : 0));
    }

    static Outcome storeInTransaction(PGconn* db, const Play& play) {
        query(db, "INSERT INTO players (name, pass_hash, registered_at) VALUES ($1, $2, $3) ON CONFLICT (name) DO NOTHING",
              Params().add(play.name).add(play.passwordHash).add(play.uploadedAt));
        std::int64_t playerId = 0;
        {
            Result r = query(db, "SELECT id, pass_hash FROM players WHERE name = $1 FOR UPDATE", Params().add(play.name));
            if (r.rows() != 1) throw StorageError("PostgreSQL: the player row vanished");
            if (r.text(0, 1) != play.passwordHash) return Outcome::Conflict;
            playerId = r.integer(0, 0);
        }
        {
            Result r = query(db, "SELECT id, score FROM plays WHERE player_id = $1 AND mode = $2",
                             Params().add(playerId).add(play.mode));
            if (r.rows() > 0) {
                if (r.integer(0, 1) >= play.score) return Outcome::KeptEarlier;
                query(db, "DELETE FROM plays WHERE id = $1", Params().add(r.integer(0, 0)));
            }
        }
        query(db,
              "INSERT INTO plays (player_id, mode, version, score, stage, lives, frames, comment, uploaded_at, replay) "
              "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10)",
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
                  .add(play.replay, /*binary*/ true));
        return Outcome::Stored;
    }

    std::string url_;
    ConnectionPool<PGconn*> pool_;
};
}  // namespace

std::unique_ptr<Storage> openPostgresStorage(const std::string& url) { return std::make_unique<PostgresStorage>(url); }
