#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include "ListResponses.h"
#include "ServerOptions.h"
#include "WebSite.h"

struct MHD_Daemon;
struct MHD_Connection;
struct MHD_Response;
class Storage;
class RankingCache;
class UploadService;

// The three exchanges of the game's ranking client over libmicrohttpd:
//   GET /ranking?version=N   the list of replay version N (104..107) as ranking text
//   GET /replay?id=N         a stored replay file's bytes (404 and an empty body when unknown)
//   POST /upload             the multipart form; the reply's first byte is the result
// and, for browsers and other tools, the ranking's pages and JSON (WebSite) and the replay
// player (/watch/).
// A pool of threads serves the connections; uploads wait for their check with the connection
// suspended, so no HTTP thread ever waits for a simulation. One log line per request goes to
// standard error.
class HttpServer {
public:
    HttpServer(const ServerOptions& options, Storage& storage, RankingCache& cache, UploadService& uploads);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds and starts serving; false with the reason in error.
    bool start(std::string& error);
    std::uint16_t port() const { return port_; }
    // Stops accepting, lets the requests in flight finish (uploads included) for up to grace,
    // then closes everything.
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
    int upload(MHD_Connection* c, Request& r, const char* data, std::size_t* size);
    void finishUpload(MHD_Connection* c, Request& r);
    void sweep();

    ServerOptions options_;
    Storage& storage_;
    RankingCache& cache_;
    UploadService& uploads_;
    WebSite web_;
    ListResponses lists_;
    MHD_Daemon* daemon_ = nullptr;
    std::uint16_t port_ = 0;

    // Open connections, for the request deadline: a connection whose request has not arrived
    // whole in time is shut down (its socket, which the library then closes).
    struct Open {
        int fd;
        std::chrono::steady_clock::time_point since;
        bool busy = false;  // an upload is being decided: the wait is the server's, not the client's
        bool cut = false;
    };
    std::mutex openMutex_;
    std::map<MHD_Connection*, Open> open_;
    std::atomic<int> active_{0};  // requests begun and not completed
    std::mutex sweepMutex_;
    std::condition_variable sweepWake_;
    bool stopping_ = false;
    std::thread sweeper_;
    std::mutex logMutex_;
};
