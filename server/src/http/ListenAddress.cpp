#include "http/ListenAddress.h"
#include <netdb.h>
#include <cstring>

bool resolveListenAddress(const std::string& host, std::uint16_t port, sockaddr_storage& address, bool& v6,
                          std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found); rc != 0) {
        error = "cannot resolve " + host + ": " + gai_strerror(rc);
        return false;
    }
    address = {};
    std::memcpy(&address, found->ai_addr, found->ai_addrlen);
    v6 = found->ai_family == AF_INET6;
    freeaddrinfo(found);
    return true;
}
