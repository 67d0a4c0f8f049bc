#pragma once
// A prepared SQLite statement that finalises itself and throws StorageError on failure, shared by
// the storage backend and the operator's commands.
#include <sqlite3.h>
#include <cstdint>
#include <string>
#include "storage/Storage.h"

namespace sqlitedb {
class Statement {
public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) fail("prepare");
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int i, std::int64_t v) {
        check(sqlite3_bind_int64(stmt_, i, v));
        return *this;
    }
    Statement& bind(int i, const std::string& v) {
        check(sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    Statement& bindBlob(int i, const std::string& v) {
        check(sqlite3_bind_blob(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
        return *this;
    }
    // True while a row is there.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        fail("step");
        return false;
    }
    sqlite3_stmt* get() const { return stmt_; }
    std::int64_t integer(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string text(int col) {
        const void* p = sqlite3_column_blob(stmt_, col);
        const int n = sqlite3_column_bytes(stmt_, col);
        return p ? std::string(static_cast<const char*>(p), static_cast<std::size_t>(n)) : std::string();
    }

private:
    void check(int rc) {
        if (rc != SQLITE_OK) fail("bind");
    }
    [[noreturn]] void fail(const char* what) {
        throw StorageError(std::string("sqlite ") + what + ": " + sqlite3_errmsg(db_));
    }
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

inline void exec(sqlite3* db, const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string message = error ? error : "unknown error";
        sqlite3_free(error);
        throw StorageError(std::string("sqlite: ") + message);
    }
}

}  // namespace sqlitedb
