#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A tiny HTTP listener on 127.0.0.1 for the connector's tests: it keeps every request's raw bytes
// and answers each with what the test's handler returns (a whole reply, status line included).
// An empty answer means: say nothing and keep the connection open until the client gives up.
class LoopbackServer {
public:
    using Handler = std::function<std::string(const std::string& request)>;

    explicit LoopbackServer(Handler handler) : handler_(std::move(handler)) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = 0;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        listen(listener_, 8);
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }

    int port() const { return port_; }
    std::vector<std::string> requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

    static std::string reply(int status, const std::string& body) {
        return "HTTP/1.0 " + std::to_string(status) + (status == 200 ? " OK" : " Error") +
               "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    }

private:
    // Reads one request: the head up to its empty line, then Content-Length bytes of body.
    static std::string readRequest(int fd) {
        std::string data;
        char buffer[4096];
        std::size_t want = std::string::npos;
        for (;;) {
            if (want == std::string::npos) {
                const auto end = data.find("\r\n\r\n");
                if (end != std::string::npos) {
                    std::size_t length = 0;
                    const auto at = data.find("Content-Length: ");
                    if (at != std::string::npos && at < end) length = std::stoul(data.substr(at + 16));
                    want = end + 4 + length;
                }
            }
            if (want != std::string::npos && data.size() >= want) return data;
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 5000) <= 0) return data;
            const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) return data;
            data.append(buffer, static_cast<std::size_t>(n));
        }
    }

    void serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (poll(&p, 1, 50) <= 0) continue;
            const int fd = accept(listener_, nullptr, nullptr);
            if (fd < 0) continue;
            const std::string request = readRequest(fd);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                requests_.push_back(request);
            }
            const std::string answer = handler_(request);
            if (answer.empty()) {
                // Silent: hold the connection until the client hangs up or the test ends.
                char byte;
                while (!stop_) {
                    pollfd q{fd, POLLIN, 0};
                    if (poll(&q, 1, 50) > 0 && recv(fd, &byte, 1, 0) <= 0) break;
                }
            } else {
                std::size_t sent = 0;
                while (sent < answer.size()) {
                    const ssize_t n = send(fd, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
                    if (n <= 0) break;
                    sent += static_cast<std::size_t>(n);
                }
            }
            close(fd);
        }
    }

    Handler handler_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};
