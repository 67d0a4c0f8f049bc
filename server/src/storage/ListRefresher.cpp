#include "storage/ListRefresher.h"
#include "storage/RankingList.h"

ListRefresher::ListRefresher(std::unique_ptr<ChangeListener> listener, RankingCache& cache,
                             std::function<void()> alsoOnChange)
    : listener_(std::move(listener)), cache_(cache), alsoOnChange_(std::move(alsoOnChange)) {
    thread_ = std::thread([this] {
        while (!stopping_.load()) {
            if (!listener_->wait(std::chrono::milliseconds(200))) continue;
            for (std::int32_t version = 104; version <= 107; ++version) cache_.invalidate(version);
            if (alsoOnChange_) alsoOnChange_();
        }
    });
}

ListRefresher::~ListRefresher() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}
