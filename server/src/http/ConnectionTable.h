#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The open connections and what each may still hold, so that no address, however many slow
// connections it opens, can keep the server from others:
//  - one address keeps at most perAddress connections open; the whole server at most total;
//  - at its address's bound, a new connection takes the place of the address's oldest one that is
//    still waiting for its request head; when all of them have requests under way it goes (an
//    address can only hold its own places);
//  - when the server is full, it takes the place of the oldest connection of anyone, waiting for
//    its head or with its request under way, that is not waiting for a check: many addresses
//    together cannot hold every place with slow requests, and a newcomer, the youngest, is not
//    the one to go before it could send its head. Only when every one waits for a check does the
//    newcomer go;
//  - a request head must arrive within headDeadline of the connection's opening (or of the
//    previous answer on it), the whole request within requestDeadline, and a request body must
//    keep a minimum rate: by bodyGrace + n / minBodyRate seconds after the head, n bytes of it.
// A connection from a trusted proxy is not counted against the proxy's address (it carries many
// clients); each of its requests is counted against the address it forwards instead, while it
// runs. Nothing here locks: the server calls it under one mutex.
class ConnectionTable {
public:
    using Clock = std::chrono::steady_clock;
    using Id = const void*;
    struct Limits {
        unsigned perAddress = 32;
        unsigned total = 512;
        std::chrono::milliseconds headDeadline{10000}, requestDeadline{30000};
        std::uint32_t minBodyRate = 0;  // bytes per second; 0: none
        std::chrono::milliseconds bodyGrace{5000};
    };
    struct Cut {
        Id id;
        int fd;
        std::string address;
        const char* why;
    };

    // The reasons of overdue cuts.
    static constexpr const char* kNoHead = "no request head in time";
    static constexpr const char* kNoRequest = "no whole request in time";
    static constexpr const char* kSlowBody = "a request body slower than the least rate";

    explicit ConnectionTable(Limits limits) : limits_(limits) {}

    // A connection was opened on fd from address (empty: a trusted proxy). Returns the connections
    // to cut to make room, the new one itself when no room can be made.
    std::vector<Cut> opened(Id id, int fd, const std::string& address, Clock::time_point now);
    // Its request head arrived; forwardedAddress (when the peer is a trusted proxy) is counted for
    // the request's length. False when that address already has its fill of requests: the caller
    // refuses the request.
    bool requestBegun(Id id, Clock::time_point now, const std::string& forwardedAddress = {});
    // bytes more of the request's body arrived; the first call (0 bytes at the head will do) puts
    // the request under the body's least rate.
    void bodyReceived(Id id, std::size_t bytes);
    // An upload waits for its decision: the wait is the server's, so no deadline runs.
    void setBusy(Id id, bool busy);
    // The request was answered; the next one's time starts now.
    void requestEnded(Id id, Clock::time_point now);
    void closed(Id id);
    // The connections past a deadline, marked cut.
    std::vector<Cut> overdue(Clock::time_point now);

    // The connection was cut (and is not yet closed).
    bool isCut(Id id) const;
    std::size_t open() const { return open_.size(); }
    unsigned countOf(const std::string& address) const;

private:
    struct Entry {
        int fd;
        std::string address, forwarded;
        Clock::time_point since, begun;
        std::uint64_t order;
        std::uint64_t received = 0;  // of the request's body
        bool inRequest = false, busy = false, cut = false, body = false;
    };
    // The oldest connection (of `address` when given) not waiting for a check, and waiting for its
    // request head unless underWay; none when there is none. Age runs from the opening or the
    // previous answer.
    Id oldest(const std::string* address, bool underWay) const;
    bool bodyTooSlow(const Entry& e, Clock::time_point now) const;
    Cut cut(Id id, Entry& e, const char* why);
    void release(const std::string& address);

    Limits limits_;
    std::map<Id, Entry> open_;
    std::map<std::string, unsigned> perAddress_;  // live connections and forwarded requests
    unsigned live_ = 0;                           // open and not cut
    std::uint64_t next_ = 0;
};
