#include "http/HttpServer.h"
#include <arpa/inet.h>
#include <microhttpd.h>
#include <netdb.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <vector>
#include "http/ClientAddress.h"
#include "storage/Health.h"
#include "http/ListenAddress.h"
#include "core/Metrics.h"
#include "storage/RankingList.h"
#include "storage/Storage.h"
#include "core/UploadForm.h"
#include "http/UploadLimits.h"
#include "http/UploadService.h"
#include "web/GamePage.h"
#include "web/WatchPage.h"
#include "web/WebSite.h"
#include "web/WebText.h"

namespace {
using Clock = std::chrono::steady_clock;

// The parser's buffer: the boundary and one header line of a part must fit.
constexpr std::size_t kPostBuffer = 16 * 1024;
// Each connection's memory for the request's head, the reply's head and the reads of an upload's
// body. The library clears all of it after every request, so it is kept to what a browser's
// request needs (its head may take about half) rather than the library's 32 KiB.
constexpr std::size_t kConnectionMemory = 16 * 1024;
// How long a request body may take before its least rate is asked of it (a client's first
// packets, a phone waking its radio).
constexpr std::chrono::milliseconds kBodyGrace{5000};

// A whole decimal number in [low, high], nothing else ("", "+1", "1x", " 1" are not).
bool strictNumber(const char* text, std::int64_t low, std::int64_t high, std::int64_t& out) {
    if (!text || !*text) return false;
    std::int64_t v = 0;
    for (const char* p = text; *p; ++p) {
        if (*p < '0' || *p > '9') return false;
        if (v > (high - (*p - '0')) / 10) return false;
        v = v * 10 + (*p - '0');
    }
    if (v < low) return false;
    out = v;
    return true;
}

// Only printable ASCII reaches the log; anything else is shown as \xNN.
std::string printable(const std::string& s, std::size_t limit = 200) {
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (s.size() > limit) out += "...";
    return out;
}

std::optional<IpAddress> peerOf(MHD_Connection* c) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    return info ? IpAddress::of(info->client_addr) : std::nullopt;
}

std::string clientAddress(MHD_Connection* c) {
    const std::optional<IpAddress> a = peerOf(c);
    return a ? a->text() : "-";
}

// Every X-Forwarded-For header of a request, in the order they came.
enum MHD_Result collectForwarded(void* cls, enum MHD_ValueKind, const char* key, const char* value) {
    if (key && value && strcasecmp(key, "X-Forwarded-For") == 0) static_cast<std::vector<std::string>*>(cls)->push_back(value);
    return MHD_YES;
}

// Enough descriptors for the connections the library may hold (those being cut included).
void raiseDescriptorLimit(rlim_t wanted) {
    rlimit l{};
    if (getrlimit(RLIMIT_NOFILE, &l) != 0 || l.rlim_cur >= wanted) return;
    l.rlim_cur = l.rlim_max == RLIM_INFINITY ? wanted : std::min(wanted, l.rlim_max);
    setrlimit(RLIMIT_NOFILE, &l);
}

// Made once a second per thread: every log line starts with it.
std::string utcNow() {
    thread_local std::time_t last = -1;
    thread_local char text[32];
    const std::time_t t = std::time(nullptr);
    if (t != last) {
        std::tm tm{};
        gmtime_r(&t, &tm);
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
        last = t;
    }
    return text;
}

// A response over a body shared with a cache: kept alive until the library has sent it.
MHD_Response* sharedResponse(const std::shared_ptr<const std::string>& body) {
    auto* keep = new std::shared_ptr<const std::string>(body);
    MHD_Response* r = MHD_create_response_from_buffer_with_free_callback_cls(
        body->size(), const_cast<char*>(body->data()),
        [](void* cls) { delete static_cast<std::shared_ptr<const std::string>*>(cls); }, keep);
    if (!r) delete keep;
    return r;
}

// The request's head announces a body: a length above 0, or any transfer coding (chunked).
bool announcesBody(MHD_Connection* c) {
    if (MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_TRANSFER_ENCODING)) return true;
    const char* length = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
    return length && !std::all_of(length, length + std::strlen(length), [](char ch) { return ch == '0'; });
}

MHD_Response* bufferResponse(const std::string& body, const char* type) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (r && type) MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    return r;
}

enum MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                          const char* upload, std::size_t* size, void** context) {
    return static_cast<enum MHD_Result>(static_cast<HttpServer*>(cls)->handle(c, url, method, upload, size, context));
}

void onCompleted(void* cls, MHD_Connection* c, void** context, enum MHD_RequestTerminationCode) {
    static_cast<HttpServer*>(cls)->completed(c, context);
}

void onConnection(void* cls, MHD_Connection* c, void**, enum MHD_ConnectionNotificationCode code) {
    static_cast<HttpServer*>(cls)->connectionEvent(c, code == MHD_CONNECTION_NOTIFY_STARTED);
}

// The library's unescaping of paths and query values, but for %00: a NUL would end the text
// early, so that /play/1%00 would answer as /play/1; it stays as the three characters, which no
// address of the site holds.
std::size_t unescape(void*, MHD_Connection*, char* s) {
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1; };
    char* out = s;
    for (const char* in = s; *in;) {
        if (in[0] == '%' && in[1] && in[2] && hex(in[1]) >= 0 && hex(in[2]) >= 0 && (in[1] != '0' || in[2] != '0')) {
            *out++ = static_cast<char>(hex(in[1]) << 4 | hex(in[2]));
            in += 3;
        } else {
            *out++ = *in++;
        }
    }
    *out = '\0';
    return static_cast<std::size_t>(out - s);
}

void onLibraryError(void*, const char* format, va_list ap) {
    char line[512];
    std::vsnprintf(line, sizeof line, format, ap);
    // A connection closed before its request was whole, by its client or cut by the server: a
    // flood would make a line of each.
    if (std::strstr(line, "detected connection closure") || std::strstr(line, "closed by remote side with incomplete request"))
        return;
    std::fprintf(stderr, "nimbulon-server: %s%s", line, line[0] && line[std::strlen(line) - 1] == '\n' ? "" : "\n");
}
}  // namespace

struct HttpServer::Request {
    enum class Route { Ranking, Replay, Upload, Watch, Game, Web, Preflight, Health, NotFound, BadMethod };
    Route route = Route::NotFound;
    Clock::time_point start = Clock::now();
    std::string method, path, target, client;
    std::string limitKey;  // the client as the limits count it
    unsigned status = 0;
    std::size_t bytes = 0;
    std::string note;  // what became of an upload, for the log
    bool first = true;

    // The upload.
    MHD_PostProcessor* parser = nullptr;
    std::unique_ptr<FormEnd> end;
    UploadCollector collector;
    std::size_t received = 0;
    bool parseFailed = false;

    ~Request() {
        if (parser) MHD_destroy_post_processor(parser);
    }
};

namespace {
enum MHD_Result onField(void* cls, enum MHD_ValueKind, const char* key, const char*, const char*, const char*,
                        const char* data, uint64_t offset, std::size_t size) {
    auto* r = static_cast<HttpServer::Request*>(cls);
    return r->collector.add(key ? key : "", offset, std::string_view(data ? data : "", data ? size : 0)) ? MHD_YES
                                                                                                        : MHD_NO;
}

// The request line's target with its query, rebuilt for the log.
enum MHD_Result addArgument(void* cls, enum MHD_ValueKind, const char* key, const char* value) {
    auto* target = static_cast<std::string*>(cls);
    *target += target->find('?') == std::string::npos ? '?' : '&';
    *target += key ? key : "";
    if (value) *target += std::string("=") + value;
    return MHD_YES;
}
}  // namespace

HttpServer::HttpServer(const ServerOptions& options, Storage& storage, RankingCache& cache, UploadService& uploads,
                       UploadLimits* limits)
    : options_(options),
      storage_(storage),
      cache_(cache),
      uploads_(uploads),
      web_(storage, cache),
      lists_(cache),
      limits_(limits),
      connections_({options.connectionsPerAddress, options.maxConnections, std::chrono::seconds(options.headDeadline),
                    std::chrono::seconds(options.requestDeadline), options.minBodyRate, kBodyGrace}) {}

HttpServer::~HttpServer() { shutdown(std::chrono::seconds(0)); }

bool HttpServer::start(std::string& error) {
    sockaddr_storage address{};
    bool v6 = false;
    if (!resolveListenAddress(options_.host, options_.port, address, v6, error)) return false;
    const std::string port = std::to_string(options_.port);

    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ITC |
                     MHD_USE_ERROR_LOG;
    if (v6) flags |= MHD_USE_IPv6;
    // Reads, writes and accepts are tried before the socket is watched: a short request on a new
    // connection is read, answered and closed without ever entering the epoll set.
    flags |= MHD_USE_TURBO;
    // The library's own bound is above the server's, so that a connection is always seen (and
    // given room, or refused at once) rather than left waiting in the listening queue.
    const unsigned libraryLimit = options_.maxConnections * 2 + 64;
    raiseDescriptorLimit(libraryLimit + 256);
    daemon_ = MHD_start_daemon(
        flags, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_EXTERNAL_LOGGER, &onLibraryError, nullptr,
        MHD_OPTION_SOCK_ADDR, reinterpret_cast<sockaddr*>(&address),
        MHD_OPTION_THREAD_POOL_SIZE, static_cast<unsigned>(options_.threads), MHD_OPTION_CONNECTION_LIMIT,
        libraryLimit, MHD_OPTION_CONNECTION_TIMEOUT, options_.idleTimeout, MHD_OPTION_NOTIFY_COMPLETED,
        &onCompleted, this, MHD_OPTION_NOTIFY_CONNECTION, &onConnection, this, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, kConnectionMemory, MHD_OPTION_UNESCAPE_CALLBACK, &unescape, nullptr,
        MHD_OPTION_END);
    if (!daemon_) {
        error = "cannot listen on " + options_.host + ":" + port + " (in use, or not an address of this machine)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : options_.port;
    sweeper_ = std::thread([this] { sweep(); });
    // The browser player's files read (and compressed, where the build did not) before anyone asks.
    warmer_ = std::thread([] { watchReply("/watch/", [](std::int64_t) { return false; }); });
    return true;
}

void HttpServer::shutdown(std::chrono::seconds grace) {
    if (!daemon_) return;
    // The listening socket is closed at once: a connection made now would wait in its backlog
    // and be reset at the end, where refused at once a load balancer sends it to another server.
    const MHD_socket listener = MHD_quiesce_daemon(daemon_);
    if (listener != MHD_INVALID_SOCKET) close(listener);
    // Uploads waiting for a worker are answered '2' now (their clients may send them again to a
    // server that runs); requests in flight finish within the grace period, uploads among them
    // (those being checked, and those still arriving) ...
    uploads_.refuseWaiting();
    const auto until = Clock::now() + grace;
    while (active_.load() > 0 && Clock::now() < until) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    // ... then the checks still running are ended and whatever waits is answered '2', so that no
    // connection stays suspended, and every reply gets a moment to leave.
    uploads_.stop(std::chrono::milliseconds(0));
    const auto replies = Clock::now() + std::chrono::seconds(2);
    while (active_.load() > 0 && Clock::now() < replies) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard lock(sweepMutex_);
        stopping_ = true;
    }
    sweepWake_.notify_all();
    if (sweeper_.joinable()) sweeper_.join();
    if (warmer_.joinable()) warmer_.join();
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    requestLog_.flush();
}

void HttpServer::log(const std::string& line) {
    if (!options_.quiet) requestLog_.write(line, /*urgent*/ true);
}

void HttpServer::connectionEvent(MHD_Connection* c, bool opened) {
    std::lock_guard lock(openMutex_);
    if (!opened) {
        connections_.closed(c);
        return;
    }
    const MHD_ConnectionInfo* info = MHD_get_connection_info(c, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info) return;
    // A trusted proxy's connections carry many clients: each of its requests is counted against
    // the client it forwards instead (in handle).
    const std::optional<IpAddress> peer = peerOf(c);
    const std::string address = !peer || options_.trustedProxies.contains(*peer) ? "" : peer->limitKey();
    cut(connections_.opened(c, info->connect_fd, address, Clock::now()), displaced_);
}

void HttpServer::cut(const std::vector<ConnectionTable::Cut>& cuts, CutCount& count) {
    // The library tells of a closed connection before it closes the socket, under openMutex_:
    // a descriptor still in the table is the connection's own.
    for (const ConnectionTable::Cut& k : cuts) {
        ::shutdown(k.fd, SHUT_RDWR);
        const std::string who = k.address.empty() ? "proxy" : k.address;
        if (count.byAddress.count(who) || count.byAddress.size() < 100) ++count.byAddress[who];
        else ++count.others;
    }
}

void HttpServer::logCuts(CutCount& count, const std::string& what) {
    std::vector<std::pair<unsigned, std::string>> counts;
    unsigned others = 0;
    {
        std::lock_guard lock(openMutex_);
        for (const auto& [address, n] : count.byAddress) counts.emplace_back(n, address);
        others = count.others;
        count = {};
    }
    // The most cut first, at most ten lines.
    std::sort(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
        return a.first != b.first ? a.first > b.first : a.second < b.second;
    });
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (i >= 10) {
            others += counts[i].first;
            continue;
        }
        log(utcNow() + " " + counts[i].second + " - " + std::to_string(counts[i].first) + " connection(s) " + what);
    }
    if (others) log(utcNow() + " - - " + std::to_string(others) + " connection(s) of other addresses " + what);
}

void HttpServer::sweep() {
    std::unique_lock wait(sweepMutex_);
    auto lastLog = Clock::now();
    while (!sweepWake_.wait_for(wait, std::chrono::milliseconds(200), [this] { return stopping_; })) {
        std::vector<std::string> lines;
        {
            std::lock_guard lock(openMutex_);
            for (const ConnectionTable::Cut& k : connections_.overdue(Clock::now())) {
                if (k.why == ConnectionTable::kSlowBody) {
                    cut({k}, slowBodies_);
                    continue;
                }
                ::shutdown(k.fd, SHUT_RDWR);
                const bool head = std::strcmp(k.why, ConnectionTable::kNoHead) == 0;
                lines.push_back(utcNow() + " " + clientAddress(static_cast<MHD_Connection*>(const_cast<void*>(k.id))) +
                                " - connection cut: " +
                                (head ? "no request head within " + std::to_string(options_.headDeadline)
                                      : "no whole request within " + std::to_string(options_.requestDeadline)) +
                                " s");
            }
        }
        for (const std::string& line : lines) log(line);
        if (Clock::now() - lastLog >= std::chrono::seconds(5)) {
            logCuts();
            lastLog = Clock::now();
        }
        requestLog_.flush();
    }
    logCuts();
}

void HttpServer::logCuts() {
    logCuts(displaced_, "cut or refused: over " + std::to_string(options_.connectionsPerAddress) + " per address or " +
                            std::to_string(options_.maxConnections) + " in all");
    logCuts(slowBodies_, "cut: a request body slower than " + std::to_string(options_.minBodyRate) + " bytes/s");
}

int HttpServer::respond(MHD_Connection* c, Request& r, unsigned status, MHD_Response* response, std::size_t bytes) {
    if (!response) return MHD_NO;
    // Every answer, empty ones and refusals too: no browser takes a replay or a list for a page.
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    r.status = status;
    r.bytes = bytes;
    const int rc = MHD_queue_response(c, status, response);
    MHD_destroy_response(response);
    return rc;
}

int HttpServer::respondText(MHD_Connection* c, Request& r, unsigned status, const std::string& body, const char* type) {
    return respond(c, r, status, bufferResponse(body, type), body.size());
}

int HttpServer::handle(MHD_Connection* c, const char* url, const char* method, const char* body, std::size_t* size,
                       void** context) {
    auto* r = static_cast<Request*>(*context);
    if (!r) {
        r = new Request;
        *context = r;
        ++active_;
        r->method = method ? method : "";
        r->target = url ? url : "";
        MHD_get_connection_values(c, MHD_GET_ARGUMENT_KIND, &addArgument, &r->target);
        const std::string path = url ? url : "";
        const bool get = r->method == MHD_HTTP_METHOD_GET || r->method == MHD_HTTP_METHOD_HEAD;
        const bool post = r->method == MHD_HTTP_METHOD_POST;
        if (path == "/ranking" || path == "/replay") r->route = get ? (path == "/ranking" ? Request::Route::Ranking : Request::Route::Replay) : Request::Route::BadMethod;
        else if (path == "/upload") r->route = post ? Request::Route::Upload : Request::Route::BadMethod;
        else if (path.rfind("/watch/", 0) == 0) r->route = get ? Request::Route::Watch : Request::Route::BadMethod;
        else if (path == "/game" || path.rfind("/game/", 0) == 0) r->route = get ? Request::Route::Game : Request::Route::BadMethod;
        else if (path == "/healthz") r->route = get ? Request::Route::Health : Request::Route::BadMethod;
        else if (path.rfind("/api/", 0) == 0 && r->method == MHD_HTTP_METHOD_OPTIONS) r->route = Request::Route::Preflight;
        else if (WebSite::serves(path)) r->route = get ? Request::Route::Web : Request::Route::BadMethod;
        else r->route = Request::Route::NotFound;
        // The metrics' path label: one per route, whatever the play or file a watch page names.
        // The game's own routes are their own labels; every other path is labelled by the site,
        // which folds what it does not know into a few, so no client can make labels without end.
        const bool gameRoute = path == "/ranking" || path == "/replay" || path == "/upload" || path == "/healthz";
        r->path = r->route == Request::Route::NotFound ? "other"
                  : path.rfind("/watch/", 0) == 0      ? "/watch/"
                  : r->route == Request::Route::Game   ? "/game/"
                  : gameRoute                          ? path
                                                       : WebSite::label(path);
        // Who asks: the peer, or behind a trusted proxy the client it names.
        std::string forwarded;
        if (const std::optional<IpAddress> peer = peerOf(c)) {
            IpAddress client = *peer;
            if (options_.trustedProxies.contains(*peer)) {
                std::vector<std::string> headers;
                MHD_get_connection_values(c, MHD_HEADER_KIND, &collectForwarded, &headers);
                client = options_.trustedProxies.client(*peer, headers);
                forwarded = client.limitKey();
            }
            r->client = client.text();
            r->limitKey = client.limitKey();
        } else {
            r->client = "-";
        }
        bool admitted;
        {
            std::lock_guard lock(openMutex_);
            admitted = connections_.requestBegun(c, Clock::now(), forwarded);
        }
        if (!admitted) {
            // Through a proxy, the client already has its fill of requests under way. "2" tells
            // the game an upload was not processed.
            r->first = false;
            r->note = "refused: the client has " + std::to_string(options_.connectionsPerAddress) + " requests under way";
            MHD_Response* response = bufferResponse("2\n", "text/plain");
            if (response) MHD_add_response_header(response, "Retry-After", "1");
            return respond(c, *r, MHD_HTTP_SERVICE_UNAVAILABLE, response, 2);
        }
    }
    if (r->route == Request::Route::Upload) return upload(c, *r, body, size);
    if (r->first) {
        r->first = false;
        // Only the upload takes a body: one announced anywhere else is refused at once, with not
        // a byte of it read, and the connection closed after the answer.
        if (announcesBody(c)) {
            r->note = "refused: a request body where none is taken";
            return respondText(c, *r, MHD_HTTP_CONTENT_TOO_LARGE, "", nullptr);
        }
        return MHD_YES;
    }
    if (*size != 0) {
        r->note = "cut: unwanted request body";  // never announced: the library took it for one
        return MHD_NO;
    }
    switch (r->route) {
        case Request::Route::Ranking: return ranking(c, *r);
        case Request::Route::Replay: return replay(c, *r);
        case Request::Route::Watch:
        case Request::Route::Game: {
            const std::string path = r->target.substr(0, r->target.find('?'));
            // A play that is not there, or a file that is not the player's: the site's 404 page,
            // and nothing for the page to load after it.
            if (r->route == Request::Route::Watch)
                if (const std::optional<WebReply> missing = web_.missingPlay(path)) return sendWeb(c, *r, *missing);
            WatchReply w;
            try {
                w = r->route == Request::Route::Game ? gameReply(path)
                                                     : watchReply(path, [](std::int64_t) { return true; });  // missingPlay found it
            } catch (const std::exception& e) {
                r->note = std::string("storage: ") + e.what();
                w.status = MHD_HTTP_SERVICE_UNAVAILABLE;
            }
            if (r->route == Request::Route::Watch && w.status == MHD_HTTP_NOT_FOUND) return web(c, *r, path);
            const Encoding encoding =
                w.body ? chooseEncoding(MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING), *w.body)
                       : Encoding::Identity;
            const std::string* body = w.body ? bodyFor(*w.body, encoding).get() : nullptr;
            MHD_Response* response = body ? MHD_create_response_from_buffer(body->size(), const_cast<char*>(body->data()),
                                                                            MHD_RESPMEM_PERSISTENT)
                                          : bufferResponse("", nullptr);
            if (response) {
                if (w.type) MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, w.type);
                if (encodingName(encoding)) MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING, encodingName(encoding));
                if (w.body && (w.body->gzip || w.body->brotli)) MHD_add_response_header(response, MHD_HTTP_HEADER_VARY, "Accept-Encoding");
                if (w.etag) MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, etagFor(*w.etag, encoding).c_str());
                if (w.cacheControl) MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, w.cacheControl);
                if (w.location) MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, w.location);
                MHD_add_response_header(response, "Content-Security-Policy", kWatchSecurityPolicy);
            }
            return respond(c, *r, w.status, response, body ? body->size() : 0);
        }
        case Request::Route::Preflight: {
            // A script of another origin asking before a GET with a header of its own (If-None-Match).
            MHD_Response* response = bufferResponse("", nullptr);
            if (response)
                for (const auto* h = WebSite::kCorsHeaders; (*h)[0]; ++h) MHD_add_response_header(response, (*h)[0], (*h)[1]);
            return respond(c, *r, MHD_HTTP_NO_CONTENT, response, 0);
        }
        case Request::Route::Web: return web(c, *r, url ? url : "");
        case Request::Route::Health: {
            const bool up = databaseAnswers(storage_);
            return respondText(c, *r, up ? MHD_HTTP_OK : MHD_HTTP_SERVICE_UNAVAILABLE, up ? "ok\n" : "database down\n",
                               "text/plain");
        }
        case Request::Route::BadMethod: {
            MHD_Response* response = bufferResponse("", nullptr);
            if (response)
                MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW,
                                        r->path == "/upload" ? "POST" : "GET, HEAD");
            return respond(c, *r, MHD_HTTP_METHOD_NOT_ALLOWED, response, 0);
        }
        default:
            // Not a path at all (an asterisk, an absolute address): nothing to show.
            return respondText(c, *r, MHD_HTTP_NOT_FOUND, "", nullptr);
    }
}

int HttpServer::ranking(MHD_Connection* c, Request& r) {
    std::int64_t version = 0;
    if (!strictNumber(MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "version"), 0, 1 << 30, version) ||
        !rankedVersion(version))
        return respondText(c, r, MHD_HTTP_BAD_REQUEST, "", nullptr);
    try {
        const ListResponses::Reply reply = lists_.reply(static_cast<std::int32_t>(version));
        if (!reply.response) return MHD_NO;
        r.status = MHD_HTTP_OK;
        r.bytes = reply.bytes;
        return MHD_queue_response(c, MHD_HTTP_OK, reply.response.get());
    } catch (const std::exception& e) {
        r.note = std::string("storage: ") + e.what();
        return respondText(c, r, MHD_HTTP_SERVICE_UNAVAILABLE, "", nullptr);
    }
}

int HttpServer::replay(MHD_Connection* c, Request& r) {
    std::int64_t id = 0;
    if (!strictNumber(MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, "id"), 0, INT64_MAX, id))
        return respondText(c, r, MHD_HTTP_BAD_REQUEST, "", nullptr);
    try {
        const std::optional<std::string> bytes = storage_.replay(id);
        if (!bytes) return respondText(c, r, MHD_HTTP_NOT_FOUND, "", nullptr);
        MHD_Response* response = bufferResponse(*bytes, "application/octet-stream");
        // Saved from a browser under a name of its own; the game reads the body alone.
        if (response)
            MHD_add_response_header(response, "Content-Disposition",
                                    ("attachment; filename=\"nimbulon-" + std::to_string(id) + ".rep\"").c_str());
        return respond(c, r, MHD_HTTP_OK, response, bytes->size());
    } catch (const std::exception& e) {
        r.note = std::string("storage: ") + e.what();
        return respondText(c, r, MHD_HTTP_SERVICE_UNAVAILABLE, "", nullptr);
    }
}

int HttpServer::web(MHD_Connection* c, Request& r, const std::string& path) {
    return sendWeb(c, r, web_.get(path, [c](const char* key) { return MHD_lookup_connection_value(c, MHD_GET_ARGUMENT_KIND, key); }));
}

int HttpServer::sendWeb(MHD_Connection* c, Request& r, const WebReply& w) {
    // The form the client accepts, as made with the page: nothing is compressed here.
    const EncodedBody forms{w.body, w.gzip, w.brotli};
    const Encoding encoding =
        w.body ? chooseEncoding(MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_ACCEPT_ENCODING), forms)
               : Encoding::Identity;
    const std::string etag = etagFor(w.etag, encoding);
    const bool unchanged = w.status == MHD_HTTP_OK &&
                           etagMatches(MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_IF_NONE_MATCH), etag);
    MHD_Response* response;
    std::size_t bytes = 0;
    if (unchanged || !w.body) {
        response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
    } else {
        response = sharedResponse(bodyFor(forms, encoding));
        bytes = bodyFor(forms, encoding)->size();
    }
    if (!response) return MHD_NO;
    if (!unchanged) MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, w.type);
    if (!unchanged && encodingName(encoding)) MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING, encodingName(encoding));
    if (w.gzip || w.brotli) MHD_add_response_header(response, MHD_HTTP_HEADER_VARY, "Accept-Encoding");
    if (!w.location.empty()) MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, w.location.c_str());
    if (w.cors)
        for (const auto* h = WebSite::kCorsHeaders; (*h)[0]; ++h) MHD_add_response_header(response, (*h)[0], (*h)[1]);
    MHD_add_response_header(response, MHD_HTTP_HEADER_ETAG, etag.c_str());
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, w.cacheControl);
    MHD_add_response_header(response, "Content-Security-Policy", WebSite::kSecurityPolicy);
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "X-Frame-Options", "DENY");
    return respond(c, r, unchanged ? MHD_HTTP_NOT_MODIFIED : w.status, response, bytes);
}

int HttpServer::upload(MHD_Connection* c, Request& r, const char* data, std::size_t* size) {
    if (r.first) {
        r.first = false;
        // Past the address's allowance nothing of the upload is read.
        if (limits_ && !limits_->uploadFrom(r.limitKey)) {
            r.note = "refused: too many uploads from the address this hour";
            serverMetrics().upload('2', "limit");
            MHD_Response* response = bufferResponse("2\n", "text/plain");
            if (response)
                MHD_add_response_header(response, "Retry-After",
                                        std::to_string(limits_->secondsUntilUpload(r.limitKey)).c_str());
            return respond(c, r, 429, response, 2);
        }
        // A body announced as too large is refused before a byte of it is read.
        std::int64_t length = 0;
        const char* announced = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (announced && (!strictNumber(announced, 0, INT64_MAX, length) || length > static_cast<std::int64_t>(kMaxUploadBody))) {
            r.note = "refused: body over 1 MiB";
            serverMetrics().upload('2', "too_large");
            return respondText(c, r, 413, "2\n", "text/plain");
        }
        {
            std::lock_guard lock(openMutex_);
            connections_.bodyReceived(c, 0);  // the body's least rate runs from now
        }
        r.parser = MHD_create_post_processor(c, kPostBuffer, &onField, &r);
        const char* type = MHD_lookup_connection_value(c, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_TYPE);
        const std::string boundary = FormEnd::boundaryOf(type ? type : "");
        if (!r.parser || boundary.empty()) r.parseFailed = true;  // not a multipart form: read over, refused
        else r.end = std::make_unique<FormEnd>(boundary);
        return MHD_YES;
    }
    if (*size != 0) {
        r.received += *size;
        {
            std::lock_guard lock(openMutex_);
            connections_.bodyReceived(c, *size);
        }
        // Sent without a length (chunked) and past the bound: the connection is closed.
        if (r.received > kMaxUploadBody) {
            r.note = "cut: body over 1 MiB";
            return MHD_NO;
        }
        if (!r.parseFailed) {
            const std::size_t form = r.end->take(std::string_view(data, *size));
            if (form > 0 && MHD_post_process(r.parser, data, form) != MHD_YES) r.parseFailed = true;
        }
        *size = 0;
        return MHD_YES;
    }
    finishUpload(c, r);
    return MHD_YES;
}

void HttpServer::finishUpload(MHD_Connection* c, Request& r) {
    if (r.parser) {
        MHD_destroy_post_processor(r.parser);  // delivers what the parser still held
        r.parser = nullptr;
    }
    if (!r.parseFailed && !r.end->ended()) r.parseFailed = true;  // the form was never closed
    if (r.parseFailed || r.collector.spoilt()) {
        r.note = "refused: " + (r.collector.spoilt() ? r.collector.problem() : std::string("malformed form"));
        serverMetrics().upload('2', "form");
        respondText(c, r, MHD_HTTP_OK, "2\n", "text/plain");
        return;
    }
    UploadCheck check = checkUpload(r.collector.fields(), options_.maxFrames);
    if (!check.ok) {
        r.note = "refused: " + check.problem;
        serverMetrics().upload('2', "form");
        respondText(c, r, MHD_HTTP_OK, "2\n", "text/plain");
        return;
    }
    check.request.address = r.limitKey;
    r.note = "name=" + printable(check.request.name) + " mode=" + std::to_string(check.request.header.gameMode) +
             " claimed=" + std::to_string(check.request.header.score);
    {
        std::lock_guard lock(openMutex_);
        connections_.setBusy(c, true);
    }
    MHD_suspend_connection(c);
    Request* request = &r;
    const bool queued = uploads_.submit(std::move(check.request), [this, c, request](UploadService::Reply reply) {
        request->note += std::string(" result=") + reply.code + " " + reply.detail;
        serverMetrics().upload(reply.code, uploadReason(reply.code, reply.detail));
        respondText(c, *request, MHD_HTTP_OK, std::string(1, reply.code) + "\n", "text/plain");
        MHD_resume_connection(c);
    });
    if (!queued) {
        r.note += " result=2 busy: too many uploads waiting";
        serverMetrics().upload('2', "busy");
        respondText(c, r, MHD_HTTP_OK, "2\n", "text/plain");
        MHD_resume_connection(c);
    }
}

void HttpServer::completed(MHD_Connection* c, void** context) {
    auto* r = static_cast<Request*>(*context);
    bool cutOff;
    {
        std::lock_guard lock(openMutex_);
        cutOff = connections_.isCut(c);
        connections_.requestEnded(c, Clock::now());  // the next request's time starts now
    }
    if (!r) return;
    *context = nullptr;
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - r->start).count();
    serverMetrics().request(r->path, r->status, ms / 1000);
    // A request the server cut unanswered is counted in the cuts' summary, not given a line.
    if (!options_.quiet && !(cutOff && r->status == 0)) {
        char figures[96];
        std::snprintf(figures, sizeof figures, " %u %zu %.1fms", r->status, r->bytes, ms);
        std::string line = utcNow();
        for (const std::string& part : {r->client, printable(r->method, 16), printable(r->target)}) line.append(" ").append(part);
        line += figures;
        if (!r->note.empty()) line.append(" ").append(printable(r->note, 400));
        // Answers that went as they should may wait a moment to be written with others.
        const bool routine = r->status >= 200 && r->status < 400 && r->route != Request::Route::Upload && r->note.empty();
        requestLog_.write(line, !routine);
    }
    delete r;
    --active_;
}
