#pragma once
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <vector>
#include "core/Metrics.h"

// Database connections kept open between requests, one per concurrent caller: a caller leases
// an idle one (or a new one) and gives it back when done. A connection found broken is closed
// and replaced. Each lease is one database operation for the metrics: how long it held its
// connection, and whether it ended by an exception (or could not get a connection at all).
template <class Handle>
class ConnectionPool {
public:
    struct Backend {
        std::function<Handle()> open;          // throws when it cannot
        std::function<void(Handle)> close;
        std::function<bool(Handle)> usable;
    };

    explicit ConnectionPool(Backend backend) : backend_(std::move(backend)) {}
    ~ConnectionPool() {
        for (Handle h : idle_) backend_.close(h);
    }
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    class Lease {
    public:
        explicit Lease(ConnectionPool& pool) : pool_(pool), handle(acquireCounted(pool)) {}
        ~Lease() {
            pool_.release(handle);
            serverMetrics().database(std::chrono::duration<double>(std::chrono::steady_clock::now() - since_).count(),
                                     std::uncaught_exceptions() > exceptions_);
        }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        static Handle acquireCounted(ConnectionPool& pool) {
            try {
                return pool.acquire();
            } catch (...) {
                serverMetrics().database(0, true);
                throw;
            }
        }
        ConnectionPool& pool_;
        const std::chrono::steady_clock::time_point since_ = std::chrono::steady_clock::now();
        const int exceptions_ = std::uncaught_exceptions();

    public:
        const Handle handle;
    };

private:
    Handle acquire() {
        {
            std::lock_guard lock(mutex_);
            while (!idle_.empty()) {
                Handle h = idle_.back();
                idle_.pop_back();
                if (backend_.usable(h)) return h;
                backend_.close(h);
            }
        }
        return backend_.open();
    }
    void release(Handle h) {
        std::lock_guard lock(mutex_);
        idle_.push_back(h);
    }

    Backend backend_;
    std::mutex mutex_;
    std::vector<Handle> idle_;
};
