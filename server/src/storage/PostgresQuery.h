#pragma once
// libpq connections and statements bounded in time, results that free themselves and statements
// that throw StorageError on failure, shared by the storage backend and the operator's commands.
#include <libpq-fe.h>
#include <cstdint>
#include <string>
#include <vector>
#include "storage/Storage.h"

namespace pgdb {
// How long this process waits for PostgreSQL, in milliseconds (0: as long as it takes). A database
// that hangs (a frozen server or backend answers nothing, and TCP keeps the connection open) must
// not hang the requests waiting for it: making a connection is given up after connectMs, and a
// statement is cancelled by the server after statementMs (statement_timeout) and given up here a
// moment later when the server itself does not answer, the connection then being dropped. Set once
// at start, before any connection is made.
struct Timeouts {
    int connectMs = 0;
    int statementMs = 0;
};
void setTimeouts(Timeouts t);
Timeouts timeouts();

// A connection made within the connect timeout, with the statement timeout set. Throws
// StorageError.
PGconn* connect(const std::string& url);

// While one lives on this thread, statements wait as long as they take, and the server's
// statement_timeout is off on the connection it is made for: setting up or migrating the schema
// may take long, and waits for other servers doing the same.
class Unhurried {
public:
    explicit Unhurried(PGconn* db);
    ~Unhurried();
    Unhurried(const Unhurried&) = delete;
    Unhurried& operator=(const Unhurried&) = delete;

private:
    PGconn* db_;
    bool previous_;
};

// PQexec and PQexecParams within the statement timeout: nullptr when it was given up (the
// connection is then broken for good), or not even sent because the database server did not
// answer a moment ago (the connection is then as it was).
PGresult* exec(PGconn* db, const char* sql);
PGresult* execParams(PGconn* db, const char* sql, int count, const char* const* values, const int* lengths,
                     const int* formats, int resultFormat);

// A result that frees itself.
class Result {
public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    Result(Result&& other) noexcept : r_(other.r_) { other.r_ = nullptr; }
    int rows() const { return PQntuples(r_); }
    PGresult* get() const { return r_; }
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

// The result of a statement that worked; a failed one is freed and thrown as its message.
inline Result checked(PGresult* r) {
    if (!r) throw StorageError("PostgreSQL does not answer (no answer within the statement timeout, now or a moment ago)");
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        std::string message = PQresultErrorMessage(r);
        PQclear(r);
        throw StorageError("PostgreSQL: " + message);
    }
    return Result(r);
}

// A statement without parameters (several may be given at once); rows it returns are dropped.
inline void run(PGconn* db, const char* sql) { checked(exec(db, sql)); }

inline Result query(PGconn* db, const char* sql, const Params& p, bool binaryResult = false) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::string& v : p.values) {
        values.push_back(v.data());
        lengths.push_back(static_cast<int>(v.size()));
    }
    return checked(execParams(db, sql, static_cast<int>(values.size()), values.data(), lengths.data(),
                              p.formats.data(), binaryResult ? 1 : 0));
}
}  // namespace pgdb
