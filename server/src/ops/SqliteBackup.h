#pragma once
#include <string>

// Copies of a live SQLite ranking database, made with SQLite's online backup while servers keep
// storing uploads: the copy is one consistent moment of the database (every play committed before
// it, none after, nothing torn). Both throw StorageError.
namespace sqlitebackup {
// Writes the copy to `to` (through a temporary file beside it, renamed once the copy is whole and
// checked, so that `to` is never a half-written file).
void backup(const std::string& from, const std::string& to);
// Replaces the content of the database `into` with the copy `from`, after checking that the copy
// is a whole ranking database. Servers running on `into` see the restored content at once.
void restore(const std::string& from, const std::string& into);
}  // namespace sqlitebackup
