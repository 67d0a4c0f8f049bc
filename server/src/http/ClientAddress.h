#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sockaddr;

// An IPv4 or IPv6 address; an IPv4 address mapped into IPv6 (::ffff:a.b.c.d) is the IPv4 one.
struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{};  // IPv4 in the first 4

    static std::optional<IpAddress> parse(const std::string& text);
    static std::optional<IpAddress> of(const sockaddr* address);
    std::string text() const;
    // What the limits count: an IPv4 address, or the /64 network of an IPv6 one (one line, one
    // host, commonly holds a whole /64, so counting single addresses there would count nothing).
    std::string limitKey() const;
};

// The proxies whose X-Forwarded-For is believed (--trusted-proxy): addresses or networks
// (10.0.0.0/8, fd00::/8).
class TrustedProxies {
public:
    // "ADDR[/BITS][,ADDR[/BITS]...]", spaces allowed around the commas; false for anything else.
    bool add(const std::string& list);
    bool empty() const { return networks_.empty(); }
    bool contains(const IpAddress& a) const;

    // The client an HTTP request comes from: the peer itself unless the peer is a trusted proxy;
    // then the right-most address of X-Forwarded-For (every such header, in order) that is not a
    // trusted proxy itself. Proxies append the address they received from, so whatever a client
    // wrote there itself stands further left and is never taken. A list of trusted proxies only
    // gives the left-most of them; a list whose candidate is not an address gives the last proxy.
    IpAddress client(const IpAddress& peer, const std::vector<std::string>& forwardedFor) const;

private:
    struct Network {
        IpAddress base;
        int bits;
    };
    std::vector<Network> networks_;
};
