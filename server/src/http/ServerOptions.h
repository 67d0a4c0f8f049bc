#pragma once
#include <chrono>
#include <cstdint>
#include <string>
#include "http/ClientAddress.h"
#include "core/UploadForm.h"
#include "http/UploadLimits.h"

// The server's command line.
struct ServerOptions {
    std::string host = "127.0.0.1";
    std::uint16_t port = 8080;  // 0: any free port (printed at start)
    std::string db = "ranking.sqlite";
    bool create = false;        // an SQLite file that does not exist is made (otherwise refused)
    int threads = 2;            // HTTP threads (set to the processors by the parser)
    int checkers = 2;           // uploads decided at once
    std::size_t queueLimit = 256;
    unsigned maxConnections = 512;
    unsigned idleTimeout = 10;      // seconds a connection may stay silent
    unsigned requestDeadline = 30;  // seconds a request may take to arrive whole
    unsigned headDeadline = 10;     // seconds a request's head may take to arrive
    unsigned connectionsPerAddress = 32;
    std::uint32_t minBodyRate = 1000;  // bytes per second a request body must keep after 5 s; 0: none
    UploadLimits::Settings uploadLimits;
    std::size_t listSize = 1000;  // entries of a list, the best
    TrustedProxies trustedProxies;
    int checkCpuSeconds = 120;
    int checkMemoryMb = 256;
    std::int64_t maxFrames = kDefaultMaxFrames;
    int listCacheMs = 1000;
    int shutdownGraceSeconds = 30;  // for the checks running when a stop signal comes
    int dbConnectTimeoutMs = 1000;  // PostgreSQL: making a connection
    int dbStatementTimeoutMs = 1000;  // PostgreSQL: one statement (statement_timeout)
    bool quiet = false;  // no line per request
    std::string metricsHost;     // empty: no /metrics listener
    std::uint16_t metricsPort = 0;
};

// Parses argv (without the program name). False with a message in error when it is wrong;
// help is set when --help was asked for.
bool parseServerOptions(int argc, char** argv, ServerOptions& options, bool& help, std::string& error);
std::string serverUsage();
