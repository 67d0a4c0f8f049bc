#include "online/RankingConnecter.h"
#include <algorithm>
#include <ostream>
#include "app/Env.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "online/RankingProtocol.h"
#include "platform/Platform.h"
#include "records/Score.h"

namespace {
constexpr const char* kSource = "RankingConnecter";

constexpr const char* kConnectFailed = N_("接続は失敗しました");
constexpr const char* kCaptionUpdate = N_("ランキング更新");
constexpr const char* kCaptionSend = N_("スコア送信");
constexpr const char* kCaptionReplay = N_("リプレイ取得");
constexpr const char* kUpdateFailed = N_("更新は失敗しました。\nランキングシステムが停止している可能性があります。");
constexpr const char* kUpdateReadFailed = N_("更新は失敗しました。");
constexpr const char* kReplaySendFailed = N_("取得は失敗しました。\nランキングシステムが停止している可能性があります。");
constexpr const char* kReplayReadFailed = N_("取得は失敗しました。");
constexpr const char* kReplayUnreadable =
    N_("取得は失敗しました。この記録は更新されたか、削除された可能性があります。\nランキングリストを更新してみてください。");
constexpr const char* kSendFailed = N_("送信は失敗しました。\nランキングシステムが停止している可能性があります。");
constexpr const char* kResultReadFailed = N_("結果の取得に失敗しました");
constexpr const char* kNameOrPassword = N_("ユーザー名が既に使用されているか、パスワードが以前と違います。");
constexpr const char* kNotProcessed = N_("処理に失敗しました。");

constexpr long kConnectTimeoutMs = 5000;
constexpr long kTotalTimeoutMs = 20000;
}  // namespace

RankingConnecter::RankingConnecter(Env* env, Log* log, std::unique_ptr<HttpClient> http)
    : env_(env), log_(log), config_(ServerConfig::load(gamePaths().configFile("server.txt"))), ownHttp_(std::move(http)), http_(*ownHttp_) {}

RankingConnecter::RankingConnecter(Env* env, Log* log, HttpClient& http)
    : RankingConnecter(env, log, ServerConfig::load(gamePaths().configFile("server.txt")), http) {}

RankingConnecter::RankingConnecter(Env* env, Log* log, ServerConfig config, HttpClient& http)
    : env_(env), log_(log), config_(std::move(config)), http_(http) {}

RankingConnecter::~RankingConnecter() { closeHandles(); }

std::string RankingConnecter::serverFile() const {
    // A host that is written but wrong is the connection's failure, told when a request fails.
    return config_.host.empty() ? gamePaths().configFile("server.txt") : std::string();
}

void RankingConnecter::message(const char* text, const char* caption) {
    // What the player is told goes to the log as well, on one line: a report of a failed exchange
    // then says which failure it was.
    std::string line = std::string(caption) + ": " + text;
    std::replace(line.begin(), line.end(), '\n', ' ');
    LOG_WRITE(log_, kSource, line);
    env_->dialogs().messageBox(text, caption, Dialogs::Ok);
}

bool RankingConnecter::open(const std::string& verb, const std::string& path) {
    closeHandles();
    // Like the library of old, nothing goes on the wire here: the host and the request are only
    // checked and prepared. A server that is down shows when the request is sent.
    ServerAddress address;
    if (!parseServerAddress(config_.host, address)) {
        LOG_WRITE(log_, kSource, "InternetConnect失敗");
        return false;
    }
    if (!isUsableRequestPath(path)) {
        LOG_WRITE(log_, kSource, "HttpOpenRequest失敗");
        return false;
    }
    request_ = HttpRequest{};
    request_.method = verb;
    request_.host = address.host;
    request_.port = address.port;
    request_.target = path;
    request_.userAgent = ranking::kUserAgent;
    request_.connectTimeoutMs = kConnectTimeoutMs;
    request_.totalTimeoutMs = kTotalTimeoutMs;
    reply_ = HttpReply{};
    isOpen_ = true;
    return true;
}

void RankingConnecter::closeHandles() {
    isOpen_ = false;
    request_ = HttpRequest{};
    reply_ = HttpReply{};
}

bool RankingConnecter::send() {
    if (!isOpen_) return false;
    reply_ = http_.perform(request_);
    if (!reply_.sent && !reply_.error.empty()) LOG_WRITE(log_, kSource, "HTTP: " + reply_.error);
    return reply_.sent;
}

bool RankingConnecter::readResponse(std::ostream& out) {
    if (!reply_.complete || reply_.tooLarge) return false;
    out.write(reply_.body.data(), static_cast<std::streamsize>(reply_.body.size()));
    out.put('\0');
    return true;
}

bool RankingConnecter::updateRanking(std::ostream& out, std::int32_t version) {
    if (!open("GET", ranking::listTarget(config_.listPath, version))) {
        message(kConnectFailed, kCaptionUpdate);
        return false;
    }
    request_.maxReplyBytes = ranking::kMaxListBytes;
    // An error page is no ranking list: it is refused like a server that does not answer.
    if (!send() || !ranking::isSuccess(reply_.status)) {
        message(kUpdateFailed, kCaptionSend);
        closeHandles();
        return false;
    }
    const bool whole = readResponse(out);
    if (!whole) message(kUpdateReadFailed, kCaptionSend);
    closeHandles();
    return whole;
}

void RankingConnecter::fetchReplay(Score& record, std::int32_t id) {
    LOG_WRITE(log_, kSource, "リプレイをネットから取得");
    if (!open("GET", ranking::replayTarget(config_.replayPath, id))) {
        message(kConnectFailed, kCaptionReplay);
        return;
    }
    request_.maxReplyBytes = ranking::kMaxReplayBytes;
    if (!send()) {
        message(kReplaySendFailed, kCaptionReplay);
        closeHandles();
        return;
    }
    const HttpReply reply = reply_;
    closeHandles();
    if (reply.tooLarge) {
        // Far longer than any play: not a replay of ours.
        message(kReplayUnreadable, kCaptionReplay);
        return;
    }
    if (!reply.complete) {
        message(kReplayReadFailed, kCaptionReplay);
        return;
    }
    LOG_WRITE(log_, kSource, "リプレイをネットから取得完了。デシリアライズ。");
    // An error status (an id the server no longer has) carries no replay, whatever its body.
    if (!ranking::isSuccess(reply.status) || !ranking::readReplay(reply.body, record))
        message(kReplayUnreadable, kCaptionReplay);
    LOG_WRITE(log_, kSource, "デシリアライズ完了。");
}

bool RankingConnecter::sendPlay(const Score& record, const std::string& name, const std::string& passwordDigest,
                                const std::string& comment) {
    if (!open("POST", config_.uploadPath)) {
        message(kConnectFailed, kCaptionSend);
        return false;
    }
    request_.headers.push_back(ranking::kContentTypeHeader);
    request_.body = ranking::uploadBody(name, passwordDigest, comment, record.toBytes());
    request_.maxReplyBytes = ranking::kMaxUploadReplyBytes;
    // A play too long for any buffer the server takes is not sent at all.
    if (request_.body.size() > ranking::kMaxUploadBytes) {
        LOG_WRITE(log_, kSource, "送信するプレイが長すぎる");
        message(kSendFailed, kCaptionSend);
        closeHandles();
        return false;
    }
    if (!send()) {
        message(kSendFailed, kCaptionSend);
        closeHandles();
        return false;
    }
    const HttpReply reply = reply_;
    closeHandles();
    // Only the first byte of the answer counts, so a cut-off answer still tells as long as it
    // began.
    if (reply.body.empty() && !reply.complete) {
        message(kResultReadFailed, kCaptionSend);
        return false;
    }
    // An error status means the play was not stored, whatever the body says.
    if (!ranking::isSuccess(reply.status)) {
        message(kNotProcessed, kCaptionSend);
        return false;
    }
    switch (ranking::uploadAnswer(reply.body)) {
        case ranking::UploadAnswer::NameTakenOrWrongPassword:
            message(kNameOrPassword, kCaptionSend);
            return false;
        case ranking::UploadAnswer::NotProcessed:
            message(kNotProcessed, kCaptionSend);
            return false;
        case ranking::UploadAnswer::Stored:
            break;
    }
    return true;
}
