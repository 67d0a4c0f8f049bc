#pragma once
// libpq results that free themselves and statements that throw StorageError on failure, shared by
// the storage backend and the operator's commands.
#include <libpq-fe.h>
#include <cstdint>
#include <string>
#include <vector>
#include "Storage.h"

namespace pgdb {
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
    const ExecStatusType status = PQresultStatus(r);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        std::string message = PQresultErrorMessage(r);
        PQclear(r);
        throw StorageError("PostgreSQL: " + message);
    }
    return Result(r);
}

// A statement without parameters (several may be given at once); rows it returns are dropped.
inline void run(PGconn* db, const char* sql) { checked(PQexec(db, sql)); }

inline Result query(PGconn* db, const char* sql, const Params& p, bool binaryResult = false) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const std::string& v : p.values) {
        values.push_back(v.data());
        lengths.push_back(static_cast<int>(v.size()));
    }
    return checked(PQexecParams(db, sql, static_cast<int>(values.size()), nullptr, values.data(), lengths.data(),
                                p.formats.data(), binaryResult ? 1 : 0));
}
}  // namespace pgdb
