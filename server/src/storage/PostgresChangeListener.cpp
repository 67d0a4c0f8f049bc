// LISTEN on a connection of its own. A lost connection is made again, and counted as a change:
// notifications sent while it was away are gone.
#include <libpq-fe.h>
#include <poll.h>
#include <thread>
#include "storage/ChangeListener.h"
#include "storage/PostgresQuery.h"
#include "storage/Storage.h"

namespace {
class PostgresChangeListener : public ChangeListener {
public:
    explicit PostgresChangeListener(std::string url) : url_(std::move(url)) {
        std::string error;
        if (!connect(error)) throw StorageError("cannot listen for changes: " + error);
    }
    ~PostgresChangeListener() override { PQfinish(db_); }

    bool wait(std::chrono::milliseconds timeout) override {
        if (PQstatus(db_) != CONNECTION_OK) {
            std::string error;
            if (!connect(error)) {
                std::this_thread::sleep_for(timeout);  // the database is away: try again later
                return true;
            }
            return true;
        }
        if (drain()) return true;
        pollfd p{PQsocket(db_), POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(timeout.count()));
        if (ready <= 0) return false;
        if (!PQconsumeInput(db_)) {
            PQfinish(db_);
            db_ = nullptr;
            return true;
        }
        return drain();
    }

private:
    bool connect(std::string& error) {
        PQfinish(db_);
        db_ = nullptr;
        try {
            db_ = pgdb::connect(url_);
        } catch (const StorageError& e) {
            error = e.what();
            return false;
        }
        PGresult* r = pgdb::exec(db_, (std::string("LISTEN ") + kListsChannel).c_str());
        const bool listening = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (listening) return true;
        error = PQerrorMessage(db_);
        PQfinish(db_);
        db_ = nullptr;
        return false;
    }

    // True when notifications had arrived.
    bool drain() {
        bool any = false;
        while (PGnotify* n = PQnotifies(db_)) {
            any = true;
            PQfreemem(n);
        }
        return any;
    }

    std::string url_;
    PGconn* db_ = nullptr;
};
}  // namespace

std::unique_ptr<ChangeListener> openPostgresChangeListener(const std::string& url) {
    return std::make_unique<PostgresChangeListener>(url);
}
