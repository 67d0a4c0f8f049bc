#include "http/ClientAddress.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <cstring>

namespace {
std::string trimmed(const std::string& s) {
    const std::size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// The comma-separated items of every header, left to right.
std::vector<std::string> items(const std::vector<std::string>& headers) {
    std::vector<std::string> out;
    for (const std::string& h : headers) {
        std::size_t from = 0;
        for (;;) {
            const std::size_t comma = h.find(',', from);
            out.push_back(trimmed(h.substr(from, comma == std::string::npos ? std::string::npos : comma - from)));
            if (comma == std::string::npos) break;
            from = comma + 1;
        }
    }
    return out;
}

IpAddress fromV4(const void* bytes) {
    IpAddress a;
    std::memcpy(a.bytes.data(), bytes, 4);
    return a;
}

IpAddress fromV6(const in6_addr& in) {
    static const std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(in.s6_addr, kMapped, 12) == 0) return fromV4(in.s6_addr + 12);
    IpAddress a;
    a.v6 = true;
    std::memcpy(a.bytes.data(), in.s6_addr, 16);
    return a;
}

bool samePrefix(const IpAddress& a, const IpAddress& b, int bits) {
    if (a.v6 != b.v6) return false;
    const int whole = bits / 8, rest = bits % 8;
    if (std::memcmp(a.bytes.data(), b.bytes.data(), static_cast<std::size_t>(whole)) != 0) return false;
    if (rest == 0) return true;
    const std::uint8_t mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
    return (a.bytes[static_cast<std::size_t>(whole)] & mask) == (b.bytes[static_cast<std::size_t>(whole)] & mask);
}
}  // namespace

std::optional<IpAddress> IpAddress::parse(const std::string& text) {
    std::string t = text;
    // Some proxies write "[v6]:port" or "v4:port".
    if (t.size() > 2 && t.front() == '[') {
        const std::size_t close = t.find(']');
        if (close == std::string::npos) return std::nullopt;
        t = t.substr(1, close - 1);
    } else if (t.find(':') != std::string::npos && t.find(':') == t.rfind(':') && t.find('.') != std::string::npos) {
        t = t.substr(0, t.find(':'));
    }
    unsigned char buf[16];
    if (inet_pton(AF_INET, t.c_str(), buf) == 1) return fromV4(buf);
    in6_addr v6{};
    if (inet_pton(AF_INET6, t.c_str(), &v6) == 1) return fromV6(v6);
    return std::nullopt;
}

std::optional<IpAddress> IpAddress::of(const sockaddr* address) {
    if (!address) return std::nullopt;
    if (address->sa_family == AF_INET) return fromV4(&reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    if (address->sa_family == AF_INET6) return fromV6(reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr);
    return std::nullopt;
}

std::string IpAddress::text() const {
    if (!v6) {
        // Every request's client is written out, twice: by hand, as inet_ntop goes through sprintf.
        char out[16];
        char* p = out;
        for (int i = 0; i < 4; ++i) {
            const unsigned v = bytes[static_cast<std::size_t>(i)];
            if (i) *p++ = '.';
            if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
            if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
            *p++ = static_cast<char>('0' + v % 10);
        }
        return std::string(out, p);
    }
    char out[INET6_ADDRSTRLEN] = "";
    inet_ntop(AF_INET6, bytes.data(), out, sizeof out);
    return out;
}

std::string IpAddress::limitKey() const {
    if (!v6) return text();
    IpAddress network = *this;
    std::memset(network.bytes.data() + 8, 0, 8);
    return network.text() + "/64";
}

bool TrustedProxies::add(const std::string& list) {
    std::vector<Network> parsed;
    for (const std::string& item : items({list})) {
        const std::size_t slash = item.find('/');
        const std::optional<IpAddress> base = IpAddress::parse(item.substr(0, slash));
        if (!base || item.substr(0, slash).find_first_of("[]") != std::string::npos) return false;
        const int most = base->v6 ? 128 : 32;
        int bits = most;
        if (slash != std::string::npos) {
            const std::string b = item.substr(slash + 1);
            if (b.empty() || b.size() > 3 || b.find_first_not_of("0123456789") != std::string::npos) return false;
            bits = std::stoi(b);
            if (bits > most) return false;
        } else if (item.find(':') != std::string::npos && !base->v6) {
            return false;  // "a.b.c.d:port" is no proxy's address
        }
        parsed.push_back({*base, bits});
    }
    if (parsed.empty()) return false;
    networks_.insert(networks_.end(), parsed.begin(), parsed.end());
    return true;
}

bool TrustedProxies::contains(const IpAddress& a) const {
    for (const Network& n : networks_)
        if (samePrefix(a, n.base, n.bits)) return true;
    return false;
}

IpAddress TrustedProxies::client(const IpAddress& peer, const std::vector<std::string>& forwardedFor) const {
    if (!contains(peer)) return peer;
    IpAddress nearest = peer;  // the last trusted hop seen, walking from the right
    const std::vector<std::string> hops = items(forwardedFor);
    for (auto it = hops.rbegin(); it != hops.rend(); ++it) {
        if (it->empty()) continue;
        const std::optional<IpAddress> hop = IpAddress::parse(*it);
        if (!hop) return nearest;
        if (!contains(*hop)) return *hop;
        nearest = *hop;
    }
    return nearest;
}
