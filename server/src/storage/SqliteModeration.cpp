#include <sqlite3.h>
#include "storage/Moderation.h"
#include "storage/SqlSession.h"
#include "storage/SqliteStatement.h"

namespace {
class SqliteSession : public SqlSession {
public:
    explicit SqliteSession(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StorageError("cannot open " + path + ": " + message);
        }
        sqlite3_busy_timeout(db_, 30000);
    }
    // Borrows a connection that stays its owner's.
    explicit SqliteSession(sqlite3* borrowed) : db_(borrowed), owned_(false) {}
    ~SqliteSession() override {
        if (owned_) sqlite3_close(db_);
    }

    std::vector<Row> query(const char* sql, const std::vector<std::string>& params) override {
        sqlitedb::Statement s(db_, sql);
        for (std::size_t i = 0; i < params.size(); ++i) s.bind(static_cast<int>(i + 1), params[i]);
        std::vector<Row> rows;
        while (s.step()) {
            Row row;
            for (int c = 0; c < sqlite3_column_count(s.get()); ++c) row.push_back(s.text(c));
            rows.push_back(std::move(row));
        }
        return rows;
    }
    void begin() override { sqlitedb::exec(db_, "BEGIN IMMEDIATE"); }
    void commit() override { sqlitedb::exec(db_, "COMMIT"); }
    void rollback() override { sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr); }
    void announceChange() override {}

private:
    sqlite3* db_ = nullptr;
    bool owned_ = true;
};
}  // namespace

std::unique_ptr<SqlSession> sqliteSessionOver(sqlite3* db) { return std::make_unique<SqliteSession>(db); }

std::unique_ptr<Moderation> openSqliteModeration(const std::string& path) {
    return openModerationOver(std::make_unique<SqliteSession>(path));
}
