#pragma once
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

class Env;
class Log;
class Score;

// The ranking server as the records scene talks to it, one client per action. The game's client
// (HTTP over libcurl) lives in the network library and reaches the scene through the service
// hub, so that the simulation links no network library.
class RankingClient {
public:
    virtual ~RankingClient() = default;
    // Empty when a server is set; otherwise the file where the player sets one, for telling them.
    virtual std::string serverFile() const { return {}; }
    // Writes the list of one replay version to out (the reply body, then one zero byte); false,
    // with out left empty, when no whole list came.
    virtual bool updateRanking(std::ostream& out, std::int32_t version) = 0;
    // Reads the stored replay id into record; its version stays 0 when none came.
    virtual void fetchReplay(Score& record, std::int32_t id) = 0;
    // Uploads the play; false when it was refused or could not be sent.
    virtual bool sendPlay(const Score& record, const std::string& name, const std::string& passwordDigest,
                          const std::string& comment) = 0;
};

// Builds the client of one action; the game's shell supplies it.
using RankingClientFactory = std::function<std::unique_ptr<RankingClient>(Env* env, Log* log)>;
