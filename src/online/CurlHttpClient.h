#pragma once
#include "online/HttpClient.h"

// The game's network: one libcurl easy handle per request, HTTP/1.0 over plain HTTP only, no
// redirects followed, the system's proxy settings (but never for loopback), bounded in time and
// in the size of the reply.
class CurlHttpClient : public HttpClient {
public:
    CurlHttpClient();
    HttpReply perform(const HttpRequest& request) override;
};
