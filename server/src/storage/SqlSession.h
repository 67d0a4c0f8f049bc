#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One connection, for the operator's commands, over either backend. The statements are written
// once for both: parameters are $1, $2 ... in order of first use (PostgreSQL's numbering, which
// SQLite takes as names bound in that order), passed and returned as text.
class SqlSession {
public:
    using Row = std::vector<std::string>;
    virtual ~SqlSession() = default;
    virtual std::vector<Row> query(const char* sql, const std::vector<std::string>& params = {}) = 0;
    // A write transaction; the other writers wait for it.
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    // Within a transaction: the servers listening are told at its commit that the lists changed
    // (an SQLite file's watchers see the commit itself).
    virtual void announceChange() = 0;
};

struct sqlite3;
struct pg_conn;
// A session over a connection its caller keeps (and closes): the storage's own, for the schema.
std::unique_ptr<SqlSession> sqliteSessionOver(sqlite3* db);
std::unique_ptr<SqlSession> postgresSessionOver(pg_conn* db);

class Moderation;
// The operator's commands over a session (ModerationSql.cpp).
std::unique_ptr<Moderation> openModerationOver(std::unique_ptr<SqlSession> session);
