#pragma once
#include <string>
#include "storage/Moderation.h"

// Copies of a live SQLite ranking database, made with SQLite's online backup while servers keep
// storing uploads: the copy is one consistent moment of the database (every play committed before
// it, none after, nothing torn). Both throw StorageError.
namespace sqlitebackup {
// Writes the copy to `to` (through a temporary file beside it, renamed once the copy is whole and
// checked, so that `to` is never a half-written file).
void backup(const std::string& from, const std::string& to);
// Replaces the content of the database `into` with the copy `from`. The copy is checked, copied
// beside `into` (into.restoring), brought to this program's schema there (a copy newer than this
// program knows is refused) and given the restore's audit row (returned); then that whole copy
// replaces the content of `into` in one transaction. Servers running on `into` keep their
// connections and serve the restored content at once. Any failure comes before the replacement
// and leaves `into` untouched. created is set when `into` did not exist and was made (0600).
Moderation::AuditEntry restore(const std::string& from, const std::string& into, const std::string& actor,
                               bool* created = nullptr);
}  // namespace sqlitebackup
