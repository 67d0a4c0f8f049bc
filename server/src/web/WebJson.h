#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "storage/RankingList.h"
#include "storage/Storage.h"

// The JSON interface (/api/...): the ranking's fields under the names the game's list uses,
// everything a player typed as a JSON string. The schema is in the README.
namespace webjson {
std::string ranking(const RankedList& list);
// One page of a list: entries [ (page-1)*perPage, page*perPage ), with the paging's figures.
std::string rankingPage(const RankedList& list, std::size_t page, std::size_t perPage);
// A player's best of each mode as the lists show it and every play kept, oldest first.
struct Best {
    std::int32_t mode, version, rank;
    const Storage::Entry* entry;
};
std::string player(const std::string& name, const std::vector<Best>& best, const std::vector<Storage::Play>& history);
std::string search(const std::string& query, const std::vector<std::string>& names, bool more);
std::string play(const Storage::Play& play, std::int32_t rank);
std::string error(unsigned status, const std::string& message);
}  // namespace webjson
