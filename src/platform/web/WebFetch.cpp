// The ranking's HTTP exchanges through the browser's fetch, to the server that served the page.
#include <emscripten/emscripten.h>
#include <cstdlib>
#include <string>
#include "online/HttpClient.h"
#include "platform/web/WebPlatform.h"

namespace {
// Header lines joined by "\n"; the request body and the reply body cross as bytes.
EM_ASYNC_JS(std::uint8_t*, web_fetch,
            (const char* method, const char* target, const char* headers, const std::uint8_t* body, int bodySize,
             int maxBytes, int timeoutMs, int* result), {
    // result: sent, status, body size, complete, too large.
    const out = result >> 2;
    HEAP32.fill(0, out, out + 5);
    const init = { method: UTF8ToString(method), headers: {}, cache: "no-store", redirect: "error" };
    for (const line of UTF8ToString(headers).split("\n")) {
        const colon = line.indexOf(":");
        if (colon > 0) init.headers[line.slice(0, colon).trim()] = line.slice(colon + 1).trim();
    }
    if (init.method === "POST") init.body = HEAPU8.slice(body, body + bodySize);
    const abort = new AbortController();
    const timer = setTimeout(() => abort.abort(), timeoutMs);
    init.signal = abort.signal;
    let bytes;
    try {
        const reply = await fetch(UTF8ToString(target), init);
        HEAP32[out + 1] = reply.status;
        bytes = new Uint8Array(await reply.arrayBuffer());
    } catch (e) {
        clearTimeout(timer);
        console.warn("nimbulon: " + UTF8ToString(target) + ": " + e);
        return 0;
    }
    clearTimeout(timer);
    HEAP32[out] = 1;
    const kept = maxBytes > 0 && bytes.length > maxBytes ? maxBytes : bytes.length;
    HEAP32[out + 2] = kept;
    HEAP32[out + 3] = kept === bytes.length ? 1 : 0;
    HEAP32[out + 4] = kept === bytes.length ? 0 : 1;
    const copy = _malloc(kept + 1);
    HEAPU8.set(bytes.subarray(0, kept), copy);
    return copy;
});

class FetchHttpClient : public HttpClient {
public:
    HttpReply perform(const HttpRequest& request) override {
        // The host in the server file is the page's own (the page wrote it): only the target
        // travels, so the request cannot leave the page's origin.
        std::string headers;
        for (const std::string& line : request.headers) headers += line + "\n";
        int r[5];
        std::uint8_t* body =
            web_fetch(request.method.c_str(), request.target.c_str(), headers.c_str(),
                      reinterpret_cast<const std::uint8_t*>(request.body.data()), static_cast<int>(request.body.size()),
                      static_cast<int>(request.maxReplyBytes), static_cast<int>(request.totalTimeoutMs), r);
        HttpReply reply;
        reply.sent = r[0] != 0;
        reply.status = r[1];
        if (body) reply.body.assign(reinterpret_cast<const char*>(body), static_cast<std::size_t>(r[2]));
        std::free(body);
        reply.complete = r[3] != 0;
        reply.tooLarge = r[4] != 0;
        if (!reply.sent) reply.error = "fetch failed";
        return reply;
    }
};
}  // namespace

std::unique_ptr<HttpClient> makeFetchHttpClient() { return std::make_unique<FetchHttpClient>(); }
