#pragma once
#include <deque>
#include <vector>
#include "online/HttpClient.h"

// An HTTP client without a network: it keeps every request and answers from a queue; with nothing
// queued the server counts as unreachable, unless forward names a client to pass the request to.
class ScriptedHttpClient : public HttpClient {
public:
    HttpReply perform(const HttpRequest& request) override {
        requests.push_back(request);
        if (replies.empty() && forward != nullptr) return forward->perform(request);
        HttpReply reply;
        if (replies.empty()) {
            reply.error = "nothing queued";
            return reply;
        }
        reply = replies.front();
        replies.pop_front();
        return reply;
    }
    // A whole reply with this status and body.
    void answer(const std::string& body, long status = 200, bool complete = true) {
        HttpReply reply;
        reply.sent = true;
        reply.status = status;
        reply.body = body;
        reply.complete = complete;
        replies.push_back(reply);
    }

    std::vector<HttpRequest> requests;
    std::deque<HttpReply> replies;
    HttpClient* forward = nullptr;
};
