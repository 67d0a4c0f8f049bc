#include "storage/PostgresQuery.h"
#include <poll.h>
#include <sys/socket.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>

namespace pgdb {
namespace {
using Clock = std::chrono::steady_clock;
std::atomic<int> gConnectMs{0}, gStatementMs{0};
thread_local bool tUnhurried = false;

// A server that is alive answers a statement past its statement_timeout with an error of its
// own; this much later it is taken to be hung.
constexpr int kAnswerMarginMs = 500;

// A database server that did not answer in time is not asked again for a moment: the requests
// meanwhile are answered at once instead of each waiting out a whole timeout (a handful of them
// would hold every HTTP thread). Then one caller asks again while the others are still answered
// at once; the first answer ends the rest. Kept per server (host and port), for the whole process.
class Resting {
public:
    // False: do not ask now.
    bool mayAsk(const std::string& server) {
        std::lock_guard lock(mutex_);
        const auto it = until_.find(server);
        if (it == until_.end()) return true;
        const auto now = Clock::now();
        if (now < it->second) return false;
        it->second = now + std::chrono::milliseconds(probeMs());  // this caller asks; the others wait for it
        return true;
    }
    void answered(const std::string& server) {
        std::lock_guard lock(mutex_);
        if (!until_.empty()) until_.erase(server);
    }
    void unanswered(const std::string& server) {
        std::lock_guard lock(mutex_);
        until_[server] = Clock::now() + std::chrono::milliseconds(kRestMs);
    }

private:
    static constexpr int kRestMs = 1000;
    static int probeMs() { return std::max(gConnectMs.load(), gStatementMs.load() + kAnswerMarginMs) + 1000; }
    std::mutex mutex_;
    std::map<std::string, Clock::time_point> until_;
};

Resting& resting() {
    static Resting r;
    return r;
}

std::string serverOf(PGconn* db) {
    const char* host = PQhost(db);
    const char* port = PQport(db);
    return std::string(host ? host : "") + ":" + (port ? port : "");
}

struct Deadline {
    bool bounded = false;
    Clock::time_point at;
    static Deadline in(int ms) { return ms > 0 ? Deadline{true, Clock::now() + std::chrono::milliseconds(ms)} : Deadline{}; }
    int pollMs() const {
        if (!bounded) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at - Clock::now()).count();
        return left > 0 ? static_cast<int>(left) : 0;
    }
};

// False when the deadline passed before the socket was ready.
bool waitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int ready = poll(&p, 1, deadline.pollMs());
        if (ready > 0) return true;
        if (ready == 0) return false;
        if (errno != EINTR) return true;  // libpq finds the error itself
    }
}

// The connection is in the middle of a statement the server may never finish: it is shut here,
// and libpq told, so that nothing uses it again (a pool drops it as broken).
PGresult* givenUp(PGconn* db) {
    const int fd = PQsocket(db);
    if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    for (int i = 0; i < 64 && PQstatus(db) == CONNECTION_OK; ++i)
        if (!PQconsumeInput(db)) break;
    return nullptr;
}

// The rest of PQexec: sends what is buffered, then takes every result, keeping the last.
PGresult* finish(PGconn* db, const Deadline& deadline) {
    for (;;) {
        const int flushed = PQflush(db);
        if (flushed == 0) break;
        if (flushed < 0) return PQgetResult(db);
        if (!waitFor(PQsocket(db), POLLOUT | POLLIN, deadline)) return givenUp(db);
        if (!PQconsumeInput(db)) break;
    }
    PGresult* last = nullptr;
    for (;;) {
        while (PQisBusy(db)) {
            if (!waitFor(PQsocket(db), POLLIN, deadline)) {
                PQclear(last);
                return givenUp(db);
            }
            if (!PQconsumeInput(db)) break;  // PQgetResult says what went wrong
        }
        PGresult* r = PQgetResult(db);
        if (!r) break;
        PQclear(last);
        last = r;
        if (PQstatus(db) == CONNECTION_BAD) break;
    }
    return last;
}

Deadline statementDeadline() {
    const int ms = gStatementMs.load();
    return tUnhurried || ms <= 0 ? Deadline{} : Deadline::in(ms + kAnswerMarginMs);
}

// A statement's result, and what it says about the server: nullptr (given up) rests it.
PGresult* noted(const std::string& server, PGresult* r) {
    if (r) resting().answered(server);
    else resting().unanswered(server);
    return r;
}

PGresult* execUntil(PGconn* db, const char* sql, const Deadline& deadline) {
    const std::string server = serverOf(db);
    if (deadline.bounded && !resting().mayAsk(server)) return nullptr;
    if (!PQsendQuery(db, sql)) return PQexec(db, sql);  // PQexec reports the same failure
    return noted(server, finish(db, deadline));
}
}  // namespace

void setTimeouts(Timeouts t) {
    gConnectMs.store(t.connectMs);
    gStatementMs.store(t.statementMs);
}

Timeouts timeouts() { return {gConnectMs.load(), gStatementMs.load()}; }

PGconn* connect(const std::string& url) {
    const int connectMs = gConnectMs.load();
    const Deadline deadline = Deadline::in(connectMs);
    const char* keys[] = {"dbname", nullptr};
    const char* values[] = {url.c_str(), nullptr};
    PGconn* db = PQconnectStartParams(keys, values, 1);
    if (!db) throw StorageError("cannot connect to PostgreSQL: out of memory");
    const std::string server = serverOf(db);
    if (deadline.bounded && !resting().mayAsk(server)) {
        PQfinish(db);
        throw StorageError("cannot connect to PostgreSQL: it did not answer a moment ago");
    }
    PostgresPollingStatusType state = PGRES_POLLING_WRITING;
    while (PQstatus(db) != CONNECTION_BAD && state != PGRES_POLLING_OK && state != PGRES_POLLING_FAILED) {
        if (!waitFor(PQsocket(db), state == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline)) {
            PQfinish(db);
            resting().unanswered(server);
            throw StorageError("cannot connect to PostgreSQL: no answer within " + std::to_string(connectMs) + " ms");
        }
        state = PQconnectPoll(db);
    }
    if (PQstatus(db) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(db);
        PQfinish(db);
        throw StorageError("cannot connect to PostgreSQL: " + message);
    }
    resting().answered(server);
    // Sending never blocks either: a backend that stopped reading must not hold a large upload's
    // write forever.
    PQsetnonblocking(db, 1);
    const int statementMs = gStatementMs.load();
    if (statementMs > 0) {
        PGresult* r = execUntil(db, ("SET statement_timeout = " + std::to_string(statementMs)).c_str(), deadline);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (!ok) {
            const std::string message = PQerrorMessage(db);
            PQfinish(db);
            throw StorageError("cannot set up the PostgreSQL connection: " + message);
        }
    }
    return db;
}

Unhurried::Unhurried(PGconn* db) : db_(db), previous_(tUnhurried) {
    tUnhurried = true;
    if (gStatementMs.load() > 0) PQclear(exec(db_, "SET statement_timeout = 0"));
}

Unhurried::~Unhurried() {
    if (const int ms = gStatementMs.load(); ms > 0)
        PQclear(exec(db_, ("SET statement_timeout = " + std::to_string(ms)).c_str()));
    tUnhurried = previous_;
}

PGresult* exec(PGconn* db, const char* sql) { return execUntil(db, sql, statementDeadline()); }

PGresult* execParams(PGconn* db, const char* sql, int count, const char* const* values, const int* lengths,
                     const int* formats, int resultFormat) {
    const Deadline deadline = statementDeadline();
    const std::string server = serverOf(db);
    if (deadline.bounded && !resting().mayAsk(server)) return nullptr;
    if (!PQsendQueryParams(db, sql, count, nullptr, values, lengths, formats, resultFormat))
        return PQexecParams(db, sql, count, nullptr, values, lengths, formats, resultFormat);
    return noted(server, finish(db, deadline));
}
}  // namespace pgdb
