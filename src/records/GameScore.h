#pragma once
#include <cstdint>
#include "app/Game.h"
#include "character/Character.h"
#include "character/CharacterMenu.h"
#include "records/RankingData.h"
#include "records/Score.h"

#include <memory>
#include "records/RankingClient.h"

// The records of one game mode on one page: the local last and best play (which can be watched),
// the online actions, and ten entries at a time of the ranking list as last downloaded.
class GameScore : public Game {
public:
    static constexpr std::int32_t kPageSize = 10;

    // Menu ids of the page; a ranking entry i has the id i + kFirstEntryId.
    enum EntryId : std::int32_t {
        ReturnToTitle = 1,
        WatchLastPlay = 2,
        WatchBestPlay = 3,
        SendBestPlay = 4,
        GetRankingList = 5,
        PreviousPage = 6,
        NextPage = 7,
        kFirstEntryId = 10,
    };

    GameScore(Env* env, Log* log, std::int32_t mode);
    ~GameScore() override;

    Game* Run() override;
    void Load() override;
    void Unload() override {}
    bool WantsQuit() override { return quit_; }

    // Rebuilds the page's menu and texts from pageStart; the cursor goes to "return to the title".
    virtual void buildPage();
    // value = page start x 10000 + menu id, as handed to the play scene for a replay.
    virtual void setCursor(std::int32_t value);
    virtual void addRankingRow(std::int32_t x, std::int32_t y, const RankingRecord& record);
    virtual void addPlaySummary(std::int32_t x, std::int32_t y, const ScoreHeader& header);
    // The online actions: download the ranking list of this mode; ask for name, password and
    // comment, upload the best play and show the player's own entry.
    virtual void downloadRanking();
    virtual void sendBestPlay();
    // Why a name and password cannot be sent (the message shown), or null when they can.
    static const char* entryProblem(const std::string& name, const std::string& password);

    // For tests and tools.
    CharacterMenu& menu() { return menu_; }
    Character& pageTexts() { return pageTexts_; }
    std::int32_t pageStart() const { return pageStart_; }
    std::int32_t mode() const { return mode_; }
    const RankingData& ranking() const { return ranking_; }

private:
    Game* watchReplay(const std::string& fileName);
    // Fetches the replay of ranking entry index and returns the play scene that shows it, or
    // null (staying here) when it was not fetched.
    Game* watchRankingEntry(std::int32_t index);
    // The "connecting to the Internet" question, unless CONFIRM_ONLINE=0; true to go on.
    bool confirmOnline(const char* caption);
    // The ranking server's client for one action, built before anything is asked; null, with the
    // player told why under this caption, when the program has none (the connection failure) or
    // no server is set (where to set it), so nobody answers questions that cannot lead anywhere.
    std::unique_ptr<RankingClient> connect(const char* caption);
    // Downloads this mode's list into its ranking file and reads it back.
    void refreshRanking(RankingClient& connecter);
    // The entry dialog and its checks, the upload, and the page of the player's own entry.
    void sendBestPlayWithEntries(RankingClient& connecter);
    void addText(std::int32_t x, std::int32_t y, const std::string& text);
    void addEntry(std::int32_t x, std::int32_t y, const std::string& text, std::int32_t id);

    CharacterMenu menu_;
    bool quit_ = false;
    Character pageTexts_;
    std::int32_t mode_;
    Score lastPlay_;
    Score bestPlay_;
    RankingData ranking_;
    std::int32_t pageStart_ = 0;
    std::int32_t pageSize_ = kPageSize;
};
