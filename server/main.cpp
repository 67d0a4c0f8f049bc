// nimbulon-server: the ranking server of the game's online ranking.
//
//   nimbulon-server --listen 127.0.0.1:8080 --db ranking.sqlite
//
// Ends cleanly on SIGTERM or SIGINT: stops accepting, finishes the requests in flight, closes the
// database. See --help for the options.
#include <signal.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>
#include "ops/AdminCommand.h"
#include "storage/AuditFollower.h"
#include "storage/ChartBackfill.h"
#include "ops/DatabaseFile.h"
#include "ops/ConfigFile.h"
#include "http/HttpServer.h"
#include "storage/ListRefresher.h"
#include "core/Metrics.h"
#include "storage/Moderation.h"
#include "ops/MetricsServer.h"
#include "http/Passwords.h"
#include "storage/PostgresQuery.h"
#include "storage/RankingList.h"
#include "checks/ReplayChecker.h"
#include "http/ServerOptions.h"
#include "storage/Storage.h"
#include "http/UploadLimits.h"
#include "http/UploadService.h"

namespace {
int checkProcess(int argc, char** argv) {
    // nimbulon-server --resimulate MAX_FRAMES CPU_SECONDS MEMORY_MB, replay on standard input.
    if (argc != 5) return 2;
    return runResimulationChild(std::atoll(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
}
Metrics::Gauges metricGauges(const std::string& where, UploadService& uploads) {
    Metrics::Gauges g;
    g.checksRunning = [&uploads] { return uploads.running(); };
    g.checksQueued = [&uploads] { return static_cast<int>(uploads.queued()); };
    // A connection of their own for each scrape (every few seconds at most).
    g.storedPlays = [where] { return openModeration(where)->playCount(); };
    g.bannedNames = [where] { return openModeration(where)->bannedCount(); };
    return g;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], ReplayChecker::kChildFlag) == 0) return checkProcess(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "admin") == 0) return runAdminCommand(argc - 2, argv + 2);

    ServerOptions options;
    bool help = false;
    std::string error;
    std::vector<std::string> args;
    if (!expandServerConfig(std::vector<std::string>(argv + 1, argv + argc), args, error)) {
        std::fprintf(stderr, "nimbulon-server: %s\n", error.c_str());
        return 2;
    }
    std::vector<char*> expanded;
    for (std::string& a : args) expanded.push_back(a.data());
    if (!parseServerOptions(static_cast<int>(expanded.size()), expanded.data(), options, help, error)) {
        std::fprintf(stderr, "nimbulon-server: %s\n%s", error.c_str(), serverUsage().c_str());
        return 2;
    }
    if (help) {
        std::fputs(serverUsage().c_str(), stdout);
        return 0;
    }

    // The signals that end the server are taken by this thread alone (every thread started from
    // here inherits the mask); a client that goes away mid-reply must not end the process.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    sigaddset(&endSignals, SIGTERM);
    sigaddset(&endSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    if (!passwords::init()) {
        std::fprintf(stderr, "nimbulon-server: libsodium cannot start\n");
        return 1;
    }
    // A database that hangs costs a request a bounded wait, never the server.
    pgdb::setTimeouts({options.dbConnectTimeoutMs, options.dbStatementTimeoutMs});
    std::unique_ptr<Storage> storage;
    try {
        // A mistyped path is refused, not served as a new empty ranking.
        if (!databasefile::exists(options.db)) {
            if (!options.create) {
                std::fprintf(stderr,
                             "nimbulon-server: there is no database %s (--create makes a new one there, as does "
                             "nimbulon-server admin --db %s init)\n",
                             options.db.c_str(), options.db.c_str());
                return 1;
            }
            databasefile::create(options.db);
            std::fprintf(stderr, "nimbulon-server: created a new database %s\n",
                         databasefile::absolute(options.db).c_str());
        }
        storage = openStorage(options.db);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nimbulon-server: %s\n", e.what());
        return 1;
    }
    const ReplayChecker checker(ReplayChecker::ownExecutable(argv[0]),
                                {options.maxFrames, options.checkCpuSeconds, options.checkMemoryMb});
    RankingCache cache(*storage, std::chrono::milliseconds(options.listCacheMs), options.listSize);
    std::unique_ptr<ListRefresher> refresher;
    try {
        auto audit = std::make_shared<AuditFollower>(
            options.db, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
        refresher = std::make_unique<ListRefresher>(openChangeListener(options.db), cache, [audit] { audit->poll(); });
    } catch (const std::exception& e) {
        std::fprintf(stderr, "nimbulon-server: %s\n", e.what());
        return 1;
    }
    UploadLimits limits(options.uploadLimits);
    UploadService uploads(*storage, checker, &cache, options.checkers, options.queueLimit, &limits);
    serverMetrics().setGauges(metricGauges(options.db, uploads));
    HttpServer server(options, *storage, cache, uploads, &limits);
    if (!server.start(error)) {
        std::fprintf(stderr, "nimbulon-server: %s\n", error.c_str());
        return 1;
    }
    std::unique_ptr<MetricsServer> metrics;
    if (!options.metricsHost.empty()) {
        metrics = std::make_unique<MetricsServer>(options.metricsHost, options.metricsPort, *storage);
        if (!metrics->start(error)) {
            std::fprintf(stderr, "nimbulon-server: %s\n", error.c_str());
            server.shutdown(std::chrono::seconds(0));
            return 1;
        }
        std::fprintf(stderr, "nimbulon-server: metrics on %s:%u\n", options.metricsHost.c_str(), metrics->port());
    }
    // Plays stored before the server drew charts get theirs, once, while it serves.
    ChartBackfill charts(*storage, checker, [](const std::string& line) {
        std::fprintf(stderr, "nimbulon-server: %s\n", line.c_str());
    });
    const bool postgres = options.db.find("://") != std::string::npos;
    const bool v6 = options.host.find(':') != std::string::npos;
    std::fprintf(stderr, "nimbulon-server: listening on %s%s%s:%u, database %s\n", v6 ? "[" : "", options.host.c_str(),
                 v6 ? "]" : "", server.port(), postgres ? "PostgreSQL" : options.db.c_str());

    int received = 0;
    sigwait(&endSignals, &received);
    std::fprintf(stderr, "nimbulon-server: %s: finishing the requests in flight\n", strsignal(received));
    server.shutdown(std::chrono::seconds(options.shutdownGraceSeconds));
    checker.cancel();  // the chart of an older play being drawn meanwhile is drawn at the next start
    if (metrics) metrics->stop();
    std::fprintf(stderr, "nimbulon-server: stopped\n");
    return 0;
}
