// SQLite has no notifications, but its data version of a connection moves whenever another
// connection (of this process or another) commits: a connection of its own, which never writes,
// asks for it every few milliseconds.
#include <sqlite3.h>
#include <thread>
#include "storage/ChangeListener.h"
#include "storage/Storage.h"

namespace {
constexpr std::chrono::milliseconds kPoll{20};

class SqliteChangeListener : public ChangeListener {
public:
    explicit SqliteChangeListener(const std::string& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StorageError("cannot watch " + path + ": " + message);
        }
        if (sqlite3_prepare_v2(db_, "PRAGMA data_version", -1, &version_, nullptr) != SQLITE_OK) {
            const std::string message = sqlite3_errmsg(db_);
            sqlite3_close(db_);
            throw StorageError("cannot watch " + path + ": " + message);
        }
        last_ = read();
    }
    ~SqliteChangeListener() override {
        sqlite3_finalize(version_);
        sqlite3_close(db_);
    }

    bool wait(std::chrono::milliseconds timeout) override {
        const auto until = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            const std::int64_t now = read();
            if (now != last_) {
                last_ = now;
                return true;
            }
            const auto left = until - std::chrono::steady_clock::now();
            if (left <= std::chrono::milliseconds(0)) return false;
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(left, kPoll));
        }
    }

private:
    // -1 when the file cannot be read now (locked for a moment, or gone): counted as a change
    // once it can be read again, as commits may have been missed.
    std::int64_t read() {
        std::int64_t v = -1;
        if (sqlite3_step(version_) == SQLITE_ROW) v = sqlite3_column_int64(version_, 0);
        sqlite3_reset(version_);
        return v;
    }

    sqlite3* db_ = nullptr;
    sqlite3_stmt* version_ = nullptr;
    std::int64_t last_ = 0;
};
}  // namespace

std::unique_ptr<ChangeListener> openSqliteChangeListener(const std::string& path) {
    return std::make_unique<SqliteChangeListener>(path);
}

std::unique_ptr<ChangeListener> openChangeListener(const std::string& where) {
    if (isPostgresUrl(where))
        return openPostgresChangeListener(where);
    return openSqliteChangeListener(where);
}
