#include "storage/ChartBackfill.h"
#include "checks/ReplayChecker.h"
#include "storage/Storage.h"

ChartBackfill::ChartBackfill(Storage& storage, const ReplayChecker& checker,
                             std::function<void(const std::string&)> log) {
    thread_ = std::thread([this, &storage, &checker, log = std::move(log)] {
        try {
            int without = 0;
            const int drawn = run(storage, checker, stopping_, &without);
            if (drawn > 0 || without > 0)
                log("charts drawn for " + std::to_string(drawn) + " plays stored before, " + std::to_string(without) +
                    " gave none");
        } catch (const std::exception& e) {
            log(std::string("charts of the plays stored before: ") + e.what());
        }
    });
}

ChartBackfill::~ChartBackfill() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

int ChartBackfill::run(Storage& storage, const ReplayChecker& checker, const std::atomic<bool>& stop, int* without) {
    int drawn = 0;
    for (const std::int64_t id : storage.playsWithoutChart()) {
        if (stop) break;
        const std::optional<std::string> replay = storage.replay(id);
        if (!replay) continue;  // removed meanwhile, or its name banned (drawn at a start after the unban)
        const ResimVerdict verdict = checker.check(*replay);
        storage.setChart(id, verdict.chart);
        if (verdict.chart.empty() && without) ++*without;
        drawn += !verdict.chart.empty();
    }
    return drawn;
}
