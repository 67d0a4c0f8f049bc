#include "ops/MetricsServer.h"
#include <microhttpd.h>
#include <cstring>
#include "storage/Health.h"
#include "http/ListenAddress.h"
#include "core/Metrics.h"

namespace {
enum MHD_Result onRequest(void* cls, MHD_Connection* c, const char* url, const char* method, const char*,
                          const char*, std::size_t* size, void** context) {
    if (*size != 0) return MHD_NO;  // nothing here takes a body
    return static_cast<enum MHD_Result>(static_cast<MetricsServer*>(cls)->handle(c, url, method, context));
}

int reply(MHD_Connection* c, unsigned status, const std::string& body, const char* type) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!r) return MHD_NO;
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(r, "X-Content-Type-Options", "nosniff");
    const int rc = MHD_queue_response(c, status, r);
    MHD_destroy_response(r);
    return rc;
}
}  // namespace

MetricsServer::~MetricsServer() { stop(); }

bool MetricsServer::start(std::string& error) {
    sockaddr_storage address{};
    bool v6 = false;
    if (!resolveListenAddress(host_, port_, address, v6, error)) return false;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_POLL | MHD_USE_ERROR_LOG;
    if (v6) flags |= MHD_USE_IPv6;
    daemon_ = MHD_start_daemon(flags, 0, nullptr, nullptr, &onRequest, this, MHD_OPTION_SOCK_ADDR,
                               reinterpret_cast<sockaddr*>(&address), MHD_OPTION_CONNECTION_LIMIT, 64u,
                               MHD_OPTION_CONNECTION_TIMEOUT, 10u, MHD_OPTION_END);
    if (!daemon_) {
        error = "cannot listen for metrics on " + host_ + ":" + std::to_string(port_) +
                " (in use, or not an address of this machine)";
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    if (info) port_ = info->port;
    return true;
}

void MetricsServer::stop() {
    if (!daemon_) return;
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
}

int MetricsServer::handle(void* connection, const char* url, const char* method, void** context) {
    auto* c = static_cast<MHD_Connection*>(connection);
    if (!*context) {  // the headers: wait for the (empty) body before answering
        *context = this;
        return MHD_YES;
    }
    const bool get = std::strcmp(method, MHD_HTTP_METHOD_GET) == 0 || std::strcmp(method, MHD_HTTP_METHOD_HEAD) == 0;
    const std::string path = url ? url : "";
    if (get && path == "/metrics")
        return reply(c, MHD_HTTP_OK, serverMetrics().render(), "text/plain; version=0.0.4; charset=utf-8");
    if (get && path == "/healthz") {
        const bool up = databaseAnswers(storage_);
        return reply(c, up ? MHD_HTTP_OK : MHD_HTTP_SERVICE_UNAVAILABLE, up ? "ok\n" : "database down\n", "text/plain");
    }
    return reply(c, MHD_HTTP_NOT_FOUND, "", "text/plain");
}
