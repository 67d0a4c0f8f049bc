#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "storage/RankingList.h"
#include "storage/Storage.h"

// The ranking's HTML pages: plain HTML with one style sheet (/style.css) and no script, readable
// from a phone's width up. Everything a player typed goes through webtext::html.
namespace webpages {
// The four ranked modes, in the order the pages show them, with their titles.
struct RankedMode {
    std::int32_t mode, version;
    const char* title;
};
const std::vector<RankedMode>& rankedModes();
const RankedMode* rankedModeOf(std::int32_t mode);
const RankedMode* rankedModeOfVersion(std::int32_t version);

// "ALL" past the mode's last stage, the number otherwise.
std::string stageText(std::int32_t mode, std::int32_t stage);
// "YYYY/MM/DD hh:mm", the server's local time, as the game's list shows it.
std::string dateText(std::int64_t seconds);

constexpr std::size_t kTopEntries = 10;  // per mode on the front page
constexpr std::size_t kPageEntries = 50;  // per page of a mode's list

// lists: one per rankedModes() entry, in that order.
std::string frontPage(const std::vector<std::shared_ptr<const RankedList>>& lists);
// page: 1-based; a page past the end is refused by the caller.
std::string modePage(const RankedMode& mode, const RankedList& list, std::size_t page);
std::size_t pageCount(const RankedList& list);
// The page of a mode's list where the first entry of this rank or below stands, and its row
// (1-based place in the whole list); 0 when the list has no such rank.
std::size_t pageOfRank(const RankedList& list, std::int32_t rank, std::size_t& row);
// What a mode is, in a sentence.
std::string modeDescription(const RankedMode& mode);
// rank: the play's rank in its list; 0 for a play superseded by the player's better one.
std::string playPage(const Storage::Play& play, std::int32_t rank);
struct PlayerEntry {
    const RankedMode* mode;
    std::int32_t rank;
    const Storage::Entry* entry;
};
// entries: the player's best of each mode, as listed; history: every play they stored, oldest first.
std::string playerPage(const std::string& name, const std::vector<PlayerEntry>& entries,
                       const std::vector<Storage::Play>& history);
std::string errorPage(unsigned status, const std::string& message);
std::string aboutPage();
std::string referencePage();  // the JSON's, at /api
// names: the players found (at most a page of them); more: there were others.
std::string searchPage(const std::string& query, const std::vector<std::string>& names, bool more);
std::string searchForm();
const std::string& styleSheet();
const std::string& icon();  // the ship, as the pages' icon
}  // namespace webpages
