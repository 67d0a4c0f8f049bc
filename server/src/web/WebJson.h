#pragma once
#include <cstdint>
#include <string>
#include "storage/RankingList.h"
#include "storage/Storage.h"

// The JSON interface (/api/...): the ranking's fields under the names the game's list uses,
// everything a player typed as a JSON string. The schema is in the README.
namespace webjson {
std::string ranking(const RankedList& list);
std::string play(const Storage::Play& play, std::int32_t rank);
std::string error(unsigned status, const std::string& message);
}  // namespace webjson
