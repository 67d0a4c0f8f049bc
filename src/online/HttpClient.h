#pragma once
#include <cstddef>
#include <string>
#include <vector>

// One HTTP/1.0 exchange on a fresh connection, as the online ranking makes them.
struct HttpRequest {
    std::string method;   // "GET" or "POST"
    std::string host;     // name or address; an IPv6 address without brackets
    int port = 80;
    std::string target;   // path and query, starting with '/'
    std::string userAgent;
    std::vector<std::string> headers;  // extra header lines without their line end
    std::string body;                  // sent as is (POST)
    std::size_t maxReplyBytes = 0;     // a longer reply body is cut off and marked tooLarge
    long connectTimeoutMs = 5000;
    long totalTimeoutMs = 20000;
};

struct HttpReply {
    bool sent = false;       // false: no connection, the request could not be sent, or a timeout
    long status = 0;         // the HTTP status of the reply (0 when none came)
    std::string body;        // the reply body, as far as it was read
    bool complete = false;   // the body was read to its end
    bool tooLarge = false;   // the body went past maxReplyBytes and was cut there
    std::string error;       // what went wrong, for the log
};

// The network, as far as the online ranking uses it: the game speaks HTTP through libcurl; tests
// and fuzzers answer from memory.
class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpReply perform(const HttpRequest& request) = 0;
};
