#pragma once
#include <string>

// The SQLite files of the ranking: made only where the operator asks for one (the server's
// --create, admin init, a restore into a new path), never because a path was mistyped, and
// readable by their owner alone (the players' password hashes are in them). SQLite gives its
// journal and WAL files the database file's permissions, so those are 0600 too.
namespace databasefile {
// True for a PostgreSQL URL (the operator makes that database) or an SQLite file that exists.
bool exists(const std::string& where);
// Makes an empty file with mode 0600, which SQLite takes as an empty database. Throws
// StorageError when it cannot, or when something is already there.
void create(const std::string& path);
// The path made absolute, for the log line that names a new database.
std::string absolute(const std::string& path);
}  // namespace databasefile
