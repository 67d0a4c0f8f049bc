#include "storage/ChartBackfill.h"
#include <set>
#include "checks/ReplayChecker.h"
#include "storage/Storage.h"

ChartBackfill::ChartBackfill(Storage& storage, const ReplayChecker& checker,
                             std::function<void(const std::string&)> log) {
    thread_ = std::thread([this, &storage, &checker, log = std::move(log)] {
        try {
            int without = 0;
            const int drawn = run(storage, checker, stopping_, &without);
            if (drawn > 0 || without > 0)
                log("charts and paths drawn for " + std::to_string(drawn) + " plays stored before, " +
                    std::to_string(without) + " gave none");
        } catch (const std::exception& e) {
            log(std::string("charts and paths of the plays stored before: ") + e.what());
        }
    });
}

ChartBackfill::~ChartBackfill() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
}

int ChartBackfill::run(Storage& storage, const ReplayChecker& checker, const std::atomic<bool>& stop, int* without) {
    // A play may lack either or both; one check gives both.
    std::set<std::int64_t> noChart, noPath;
    for (const std::int64_t id : storage.playsWithoutChart()) noChart.insert(id);
    for (const std::int64_t id : storage.playsWithoutPath()) noPath.insert(id);
    std::set<std::int64_t> waiting = noChart;
    waiting.insert(noPath.begin(), noPath.end());
    int drawn = 0;
    for (const std::int64_t id : waiting) {
        if (stop) break;
        const std::optional<std::string> replay = storage.replay(id);
        if (!replay) continue;  // removed meanwhile, or its name banned (drawn at a start after the unban)
        const ResimVerdict verdict = checker.check(*replay);
        if (noChart.count(id)) storage.setChart(id, verdict.chart);
        if (noPath.count(id)) storage.setPath(id, verdict.path);
        const bool gave = (!noChart.count(id) || !verdict.chart.empty()) && (!noPath.count(id) || !verdict.path.empty());
        if (!gave && without) ++*without;
        drawn += gave;
    }
    return drawn;
}
