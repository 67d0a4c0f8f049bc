#include "online/CurlHttpClient.h"
#include <curl/curl.h>
#include <mutex>

namespace {
struct Sink {
    HttpReply* reply;
    std::size_t limit;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    const std::size_t bytes = size * count;
    std::string& body = sink->reply->body;
    if (sink->limit != 0 && body.size() + bytes > sink->limit) {
        body.append(data, sink->limit - body.size());
        sink->reply->tooLarge = true;
        return 0;  // ends the transfer
    }
    body.append(data, bytes);
    return bytes;
}

std::string urlOf(const HttpRequest& request) {
    const bool ipv6 = request.host.find(':') != std::string::npos;
    return "http://" + (ipv6 ? "[" + request.host + "]" : request.host) + ":" + std::to_string(request.port) +
           request.target;
}
}  // namespace

CurlHttpClient::CurlHttpClient() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

HttpReply CurlHttpClient::perform(const HttpRequest& request) {
    HttpReply reply;
    CURL* curl = curl_easy_init();
    if (!curl) {
        reply.error = "curl_easy_init failed";
        return reply;
    }
    const std::string url = urlOf(request);
    Sink sink{&reply, request.maxReplyBytes};
    curl_slist* headers = nullptr;
    for (const std::string& line : request.headers) headers = curl_slist_append(headers, line.c_str());

    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (headers) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode result = curl_easy_perform(curl);
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    reply.status = status;
    reply.sent = status != 0;
    reply.complete = result == CURLE_OK;
    if (result != CURLE_OK && !reply.tooLarge) reply.error = curl_easy_strerror(result);

    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}
