#pragma once
#include <cstdint>
#include <string>

struct MHD_Daemon;
class Storage;

// The operator's side door, on an address of its own (kept off the players' address, behind a
// firewall or on loopback): GET /metrics, the process's figures in the Prometheus text format,
// and GET /healthz, 200 while the database answers and 503 otherwise. One thread; a scraper and
// a health check are all it serves.
class MetricsServer {
public:
    MetricsServer(std::string host, std::uint16_t port, Storage& storage)
        : host_(std::move(host)), port_(port), storage_(storage) {}
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    bool start(std::string& error);
    std::uint16_t port() const { return port_; }
    void stop();

    int handle(void* connection, const char* url, const char* method, void** context);

private:
    std::string host_;
    std::uint16_t port_;
    Storage& storage_;
    MHD_Daemon* daemon_ = nullptr;
};
