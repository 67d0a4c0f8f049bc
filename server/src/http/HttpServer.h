#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include "web/ListResponses.h"
#include "http/ConnectionTable.h"
#include "http/RequestLog.h"
#include "http/ServerOptions.h"
#include "web/WebSite.h"

struct MHD_Daemon;
struct MHD_Connection;
struct MHD_Response;
class Storage;
class RankingCache;
class UploadService;
class UploadLimits;

// The three exchanges of the game's ranking client over libmicrohttpd:
//   GET /ranking?version=N   the list of replay version N (104..107) as ranking text
//   GET /replay?id=N         a stored replay file's bytes (404 and an empty body when unknown)
//   POST /upload             the multipart form; the reply's first byte is the result
// and, for browsers and other tools, the ranking's pages and JSON (WebSite) and the replay
// player (/watch/).
// A pool of threads serves the connections; uploads wait for their check with the connection
// suspended, so no HTTP thread ever waits for a simulation. One log line per request goes to
// standard error (RequestLog: routine lines of busy moments are written together). Floods are
// bounded: connections per client address and request deadlines (ConnectionTable), uploads per
// address (UploadLimits); the client address is the peer's, or the one a trusted proxy forwards.
class HttpServer {
public:
    // limits: the uploads' allowances (none when null), shared with the upload service.
    HttpServer(const ServerOptions& options, Storage& storage, RankingCache& cache, UploadService& uploads,
               UploadLimits* limits = nullptr);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with the reason in error.
    bool start(std::string& error);
    std::uint16_t port() const { return port_; }
    // Stops accepting and answers '2' the uploads waiting for a worker; the requests in flight
    // (uploads being checked or still arriving among them) get up to grace to finish; then the
    // checks still running are ended, their uploads answered '2', and everything closed.
    void shutdown(std::chrono::seconds grace);

    // For libmicrohttpd's callbacks.
    struct Request;
    int handle(MHD_Connection* c, const char* url, const char* method, const char* upload, std::size_t* size,
               void** context);
    void completed(MHD_Connection* c, void** context);
    void connectionEvent(MHD_Connection* c, bool opened);
    void log(const std::string& line);

private:
    int respond(MHD_Connection* c, Request& r, unsigned status, MHD_Response* response, std::size_t bytes);
    int respondText(MHD_Connection* c, Request& r, unsigned status, const std::string& body, const char* type);
    int ranking(MHD_Connection* c, Request& r);
    int replay(MHD_Connection* c, Request& r);
    int web(MHD_Connection* c, Request& r, const std::string& path);
    int sendWeb(MHD_Connection* c, Request& r, const WebReply& reply);
    int upload(MHD_Connection* c, Request& r, const char* data, std::size_t* size);
    void finishUpload(MHD_Connection* c, Request& r);
    void sweep();
    struct CutCount;
    void cut(const std::vector<ConnectionTable::Cut>& cuts, CutCount& count);  // under openMutex_
    void logCuts(CutCount& count, const std::string& what);
    void logCuts();

    ServerOptions options_;
    Storage& storage_;
    RankingCache& cache_;
    UploadService& uploads_;
    WebSite web_;
    ListResponses lists_;
    UploadLimits* limits_;
    MHD_Daemon* daemon_ = nullptr;
    std::uint16_t port_ = 0;

    // Open connections, for their limits and deadlines: a connection to be cut is shut down (its
    // socket, which the library then closes).
    std::mutex openMutex_;
    ConnectionTable connections_;
    // The connections cut to make room, and those cut for a body slower than the least rate, by
    // address, written to the log a few times a minute rather than one line each: a flood must not
    // become a flood of log lines.
    struct CutCount {
        std::map<std::string, unsigned> byAddress;  // at most 100 addresses
        unsigned others = 0;
    };
    CutCount displaced_, slowBodies_;
    std::atomic<int> active_{0};  // requests begun and not completed
    std::mutex sweepMutex_;
    std::condition_variable sweepWake_;
    bool stopping_ = false;
    std::thread sweeper_;
    std::thread warmer_;
    RequestLog requestLog_{2};  // standard error
};
