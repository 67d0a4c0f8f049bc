#pragma once
#include <chrono>
#include <memory>
#include <string>

// Hears that the ranking may have changed in the database, whoever changed it: this server,
// another server sharing the database, or an operator's admin command. PostgreSQL tells through
// LISTEN/NOTIFY (every change sends a notification on kListsChannel, delivered when it commits);
// an SQLite file is watched for commits of other connections.
class ChangeListener {
public:
    virtual ~ChangeListener() = default;
    // Waits up to timeout; true when something changed, or when changes may have been missed
    // (the connection was lost and made again), false when nothing did.
    virtual bool wait(std::chrono::milliseconds timeout) = 0;
};

// The PostgreSQL channel the changes are announced on.
constexpr const char* kListsChannel = "nimbulon_lists";

// For the same database string openStorage takes. Throws StorageError.
std::unique_ptr<ChangeListener> openChangeListener(const std::string& where);
std::unique_ptr<ChangeListener> openSqliteChangeListener(const std::string& path);
std::unique_ptr<ChangeListener> openPostgresChangeListener(const std::string& url);
