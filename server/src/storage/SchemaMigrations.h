#pragma once
#include <string>
#include <vector>

class SqlSession;

// The tables' history. Version 0 is the layout every database had before versions were kept (the
// players, plays and audit tables as first made); each migration moves a database one version up
// and runs, with the version bump, in one transaction. A database opened by a server is brought
// to the latest version before anything else touches it; one newer than this program knows is
// refused, so an older server never writes into a layout it does not understand.
//
// To change the tables: append a migration with the next number (never edit or reorder a landed
// one: databases in the field have already run it). Write its statements for both backends, or
// branch on dialect where they differ.
namespace schema {

enum class Dialect { Sqlite, Postgres };

struct Migration {
    int version;       // the version the database has after it
    const char* what;  // for the log
    void (*apply)(SqlSession& db, Dialect dialect);
};

const std::vector<Migration>& migrations();
int latestVersion();

// The database's version; 0 when it has no version table yet. Creates the table (at version 0).
int currentVersion(SqlSession& db);

// Brings the database to the latest version, each step in a transaction of its own (the caller
// holds no transaction). Returns the steps taken, "from N to M: what", for the log. Throws
// StorageError when a step fails (that step leaves nothing behind) or the database is newer.
std::vector<std::string> migrate(SqlSession& db, Dialect dialect);

}  // namespace schema
