#pragma once
#include <functional>
#include <mutex>
#include <vector>

// Database connections kept open between requests, one per concurrent caller: a caller leases
// an idle one (or a new one) and gives it back when done. A connection found broken is closed
// and replaced.
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
        explicit Lease(ConnectionPool& pool) : pool_(pool), handle(pool.acquire()) {}
        ~Lease() { pool_.release(handle); }
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;

    private:
        ConnectionPool& pool_;

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
