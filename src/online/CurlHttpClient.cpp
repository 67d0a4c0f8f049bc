#include "online/CurlHttpClient.h"
#include <curl/curl.h>
#include <dlfcn.h>
#include <mutex>

namespace {
// libcurl and the thirty-odd libraries it brings (TLS, Kerberos, LDAP, SSH...) are loaded the
// first time the game goes online, not at start-up: linked in, they cost every start about ten
// milliseconds before the first picture and five megabytes of resident memory in every play,
// for a server most plays never reach.
struct Curl {
    decltype(&curl_global_init) global_init = nullptr;
    decltype(&curl_easy_init) easy_init = nullptr;
    decltype(&curl_easy_setopt) easy_setopt = nullptr;
    decltype(&curl_easy_perform) easy_perform = nullptr;
    decltype(&curl_easy_getinfo) easy_getinfo = nullptr;
    decltype(&curl_easy_strerror) easy_strerror = nullptr;
    decltype(&curl_easy_cleanup) easy_cleanup = nullptr;
    decltype(&curl_slist_append) slist_append = nullptr;
    decltype(&curl_slist_free_all) slist_free_all = nullptr;
    std::string failure;  // why the library is not there, empty when it is
};

template <typename F>
bool bind(void* library, const char* name, F& f) {
    f = reinterpret_cast<F>(dlsym(library, name));
    return f != nullptr;
}

// Loaded once, kept for the rest of the run.
const Curl& curl() {
    static Curl c;
    static std::once_flag once;
    std::call_once(once, [] {
        void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
        if (library == nullptr) {
            const char* why = dlerror();
            c.failure = std::string("libcurl could not be loaded: ") + (why != nullptr ? why : "libcurl.so.4");
            return;
        }
        const bool all = bind(library, "curl_global_init", c.global_init) &&
                         bind(library, "curl_easy_init", c.easy_init) &&
                         bind(library, "curl_easy_setopt", c.easy_setopt) &&
                         bind(library, "curl_easy_perform", c.easy_perform) &&
                         bind(library, "curl_easy_getinfo", c.easy_getinfo) &&
                         bind(library, "curl_easy_strerror", c.easy_strerror) &&
                         bind(library, "curl_easy_cleanup", c.easy_cleanup) &&
                         bind(library, "curl_slist_append", c.slist_append) &&
                         bind(library, "curl_slist_free_all", c.slist_free_all);
        if (!all) {
            c.failure = "libcurl lacks a function the game uses";
            return;
        }
        c.global_init(CURL_GLOBAL_DEFAULT);
    });
    return c;
}

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

CurlHttpClient::CurlHttpClient() { curl(); }

HttpReply CurlHttpClient::perform(const HttpRequest& request) {
    HttpReply reply;
    const Curl& lib = ::curl();
    if (!lib.failure.empty()) {
        reply.error = lib.failure;
        return reply;
    }
    CURL* curl = lib.easy_init();
    if (!curl) {
        reply.error = "curl_easy_init failed";
        return reply;
    }
    const std::string url = urlOf(request);
    Sink sink{&reply, request.maxReplyBytes};
    curl_slist* headers = nullptr;
    for (const std::string& line : request.headers) headers = lib.slist_append(headers, line.c_str());

    lib.easy_setopt(curl, CURLOPT_URL, url.c_str());
    lib.easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
    lib.easy_setopt(curl, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    lib.easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
    lib.easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    lib.easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    lib.easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
    lib.easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, request.connectTimeoutMs);
    lib.easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.totalTimeoutMs);
    lib.easy_setopt(curl, CURLOPT_WRITEFUNCTION, &collect);
    lib.easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
    if (headers) lib.easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (request.method == "POST") {
        lib.easy_setopt(curl, CURLOPT_POST, 1L);
        lib.easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
        lib.easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    } else {
        lib.easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }

    const CURLcode result = lib.easy_perform(curl);
    long status = 0;
    lib.easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    reply.status = status;
    reply.sent = status != 0;
    reply.complete = result == CURLE_OK;
    if (result != CURLE_OK && !reply.tooLarge) reply.error = lib.easy_strerror(result);

    lib.slist_free_all(headers);
    lib.easy_cleanup(curl);
    return reply;
}
