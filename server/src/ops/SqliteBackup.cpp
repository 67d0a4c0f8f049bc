#include "ops/SqliteBackup.h"
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <cstdio>
#include <thread>
#include "storage/Storage.h"

namespace {
class Database {
public:
    Database(const std::string& path, int flags) : path_(path) {
        if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
            const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
            sqlite3_close(db_);
            throw StorageError("cannot open " + path + ": " + message);
        }
        sqlite3_busy_timeout(db_, 30000);
    }
    ~Database() { sqlite3_close(db_); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    sqlite3* get() const { return db_; }

    // The first column of the first row of a query, as text.
    std::string single(const char* sql) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql, -1, &s, nullptr) != SQLITE_OK)
            throw StorageError(path_ + ": " + sqlite3_errmsg(db_));
        std::string out;
        const int rc = sqlite3_step(s);
        if (rc == SQLITE_ROW && sqlite3_column_text(s, 0)) out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) throw StorageError(path_ + ": " + sqlite3_errmsg(db_));
        return out;
    }

    // The file is an intact SQLite database that holds the ranking's tables.
    void checkRankingDatabase() {
        const std::string check = single("PRAGMA quick_check");
        if (check != "ok") throw StorageError(path_ + " is damaged: " + check);
        if (single("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN ('players', 'plays')") != "2")
            throw StorageError(path_ + " is not a ranking database (no players and plays tables)");
    }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

// The whole database in one step, so that the copy is one read transaction of the source. A
// writer never waits for it (WAL), and it is never restarted by a writer's commit.
void copy(Database& from, Database& to, const std::string& what) {
    sqlite3_backup* b = sqlite3_backup_init(to.get(), "main", from.get(), "main");
    if (!b) throw StorageError(what + ": " + sqlite3_errmsg(to.get()));
    int rc;
    for (int attempt = 0;; ++attempt) {
        rc = sqlite3_backup_step(b, -1);
        if ((rc != SQLITE_BUSY && rc != SQLITE_LOCKED) || attempt == 3000) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) throw StorageError(what + ": " + sqlite3_errstr(rc));
}

void syncPath(const std::string& path, int flags) {
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0) throw StorageError("cannot open " + path + " to flush it");
    const bool ok = fsync(fd) == 0;
    ::close(fd);
    if (!ok) throw StorageError("cannot flush " + path + " to the disk");
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}
}  // namespace

namespace sqlitebackup {
void backup(const std::string& from, const std::string& to) {
    const std::string partial = to + ".partial";
    std::remove(partial.c_str());
    try {
        {
            Database source(from, SQLITE_OPEN_READWRITE);  // WAL readers need to write the shared index
            source.checkRankingDatabase();
            Database copyDb(partial, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
            copy(source, copyDb, "backup of " + from);
            // A copy of a WAL database is itself in WAL mode; the single file is what is wanted.
            copyDb.single("PRAGMA journal_mode = DELETE");
            copyDb.checkRankingDatabase();
        }
        syncPath(partial, O_RDONLY);
        if (std::rename(partial.c_str(), to.c_str()) != 0) throw StorageError("cannot rename the copy to " + to);
        syncPath(folderOf(to), O_RDONLY | O_DIRECTORY);
    } catch (...) {
        std::remove(partial.c_str());
        throw;
    }
}

void restore(const std::string& from, const std::string& into) {
    Database source(from, SQLITE_OPEN_READONLY);
    source.checkRankingDatabase();
    Database target(into, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    copy(source, target, "restore of " + from + " into " + into);
    target.single("PRAGMA journal_mode = WAL");
}
}  // namespace sqlitebackup
