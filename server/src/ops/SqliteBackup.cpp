#include "ops/SqliteBackup.h"
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>
#include <cstdio>
#include <thread>
#include "ops/DatabaseFile.h"
#include "storage/Moderation.h"
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
            databasefile::create(partial);  // 0600: a copy holds the password hashes too
            Database copyDb(partial, SQLITE_OPEN_READWRITE);
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

Moderation::AuditEntry restore(const std::string& from, const std::string& into, const std::string& actor,
                               bool* created) {
    // The copy is made whole beside the database first: brought to this program's tables, with the
    // restore's audit row in it. Until the last step the live database is not touched, and every
    // refusal (a damaged copy, a newer schema, a full disk) leaves it as it was.
    const std::string scratch = into + ".restoring";
    std::remove(scratch.c_str());
    Moderation::AuditEntry row;
    try {
        {
            Database source(from, SQLITE_OPEN_READONLY);
            source.checkRankingDatabase();
            databasefile::create(scratch);
            Database copyDb(scratch, SQLITE_OPEN_READWRITE);
            copy(source, copyDb, "copy of " + from);
            copyDb.single("PRAGMA journal_mode = DELETE");
        }
        openStorage(scratch);  // migrates the copy; throws for a schema newer than this program's
        row = openModeration(scratch)->note("restore", into, "content replaced by the copy " + from, actor);
        {
            // A WAL database takes a copy of its own page size only.
            Database copyDb(scratch, SQLITE_OPEN_READWRITE);
            copyDb.single("PRAGMA journal_mode = DELETE");
            if (databasefile::exists(into)) {
                Database target(into, SQLITE_OPEN_READWRITE);
                const std::string size = target.single("PRAGMA page_size");
                if (copyDb.single("PRAGMA page_size") != size) {
                    copyDb.single(("PRAGMA page_size = " + std::to_string(std::stoi(size))).c_str());
                    copyDb.single("VACUUM");
                }
            }
            copyDb.checkRankingDatabase();
        }
        if (created) *created = !databasefile::exists(into);
        if (!databasefile::exists(into)) databasefile::create(into);
        // The one step that changes the live database: one write transaction, which servers
        // holding it open see committed as a whole (their next read finds the restored tables).
        Database source(scratch, SQLITE_OPEN_READWRITE);
        Database target(into, SQLITE_OPEN_READWRITE);
        copy(source, target, "restore of " + from + " into " + into);
    } catch (...) {
        std::remove(scratch.c_str());
        throw;
    }
    // Done: nothing after this may report a failure.
    std::remove(scratch.c_str());
    return row;
}
}  // namespace sqlitebackup
