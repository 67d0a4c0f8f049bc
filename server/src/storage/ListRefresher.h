#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include "storage/ChangeListener.h"

class RankingCache;

// Drops the cached lists whenever the database says they may have changed, so that a play stored
// through another server, or removed by an operator, is in this server's lists at once instead of
// after the cache's age limit.
class ListRefresher {
public:
    // alsoOnChange runs on the refresher's thread after the lists were dropped.
    ListRefresher(std::unique_ptr<ChangeListener> listener, RankingCache& cache, std::function<void()> alsoOnChange = {});
    ~ListRefresher();
    ListRefresher(const ListRefresher&) = delete;
    ListRefresher& operator=(const ListRefresher&) = delete;

private:
    std::unique_ptr<ChangeListener> listener_;
    RankingCache& cache_;
    std::function<void()> alsoOnChange_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};
