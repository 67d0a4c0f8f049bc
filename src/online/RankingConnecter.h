#pragma once
#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include "online/HttpClient.h"
#include "online/ServerConfig.h"
#include "records/RankingClient.h"

class Env;
class Log;
class Score;

// The client of the online ranking server: downloads the ranking list of one replay version,
// downloads one stored replay, and uploads a play with name, password digest and comment. Each
// exchange is one HTTP/1.0 request on a fresh connection to the server named in
// ./data/server.txt, and runs to its end before the call returns (5 s at most to connect, 20 s in
// all). Every failure is shown once in a message box over the game window; the caller learns the
// outcome from the result, the stream or the record.
//
// The records scene builds one per action (through the service hub's ranking client factory).
// The replies are judged without any socket when the connector is given an HttpClient that
// answers from memory.
class RankingConnecter : public RankingClient {
public:
    // Reads ./data/server.txt; talks HTTP through libcurl (RankingConnecterCurl.cpp, left out of
    // the browser's build), through its own http, or through http (not owned) when given.
    RankingConnecter(Env* env, Log* log);
    RankingConnecter(Env* env, Log* log, std::unique_ptr<HttpClient> http);
    RankingConnecter(Env* env, Log* log, HttpClient& http);
    RankingConnecter(Env* env, Log* log, ServerConfig config, HttpClient& http);
    ~RankingConnecter() override;
    RankingConnecter(const RankingConnecter&) = delete;
    RankingConnecter& operator=(const RankingConnecter&) = delete;

    // Prepares one request to the server (nothing is sent yet): false, logged, when the server
    // file names no usable host or the path is unusable.
    bool open(const std::string& verb, const std::string& path);
    void closeHandles();
    // Writes the body of the reply received to out, then one zero byte. False when the reply
    // was not read to its end (nothing is written then).
    bool readResponse(std::ostream& out);

    // The ranking list of a replay version (104..107) into out, followed by one zero byte; out
    // receives nothing when the download fails.
    bool updateRanking(std::ostream& out, std::int32_t version) override;
    // The stored replay with this id into record; record is unchanged (its version stays 0 for a
    // new record) when anything fails.
    void fetchReplay(Score& record, std::int32_t id) override;
    // Uploads record; true when the server stored it.
    bool sendPlay(const Score& record, const std::string& name, const std::string& passwordDigest,
                  const std::string& comment) override;

    const ServerConfig& config() const { return config_; }
    // No host in the server file (or no file): that file's path.
    std::string serverFile() const override;

private:
    bool send();
    void message(const char* text, const char* caption);

    Env* env_;
    Log* log_;
    ServerConfig config_;
    std::unique_ptr<HttpClient> ownHttp_;
    HttpClient& http_;
    // The request between open and closeHandles, and its reply once sent.
    bool isOpen_ = false;
    HttpRequest request_;
    HttpReply reply_;
};
