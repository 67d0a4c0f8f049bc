#pragma once
#include <sys/socket.h>
#include <cstdint>
#include <string>

// The socket address a daemon binds: a numeric IPv4 or IPv6 address or a host name of this
// machine, and a port (0: any free one). False with the reason in error.
bool resolveListenAddress(const std::string& host, std::uint16_t port, sockaddr_storage& address, bool& v6,
                          std::string& error);
