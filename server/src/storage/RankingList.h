#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>
#include "storage/Storage.h"

// The ranking text the game reads: for each entry the key and value lines rank, username, score,
// stage, regist_date ("YYYY/MM/DD hh:mm", the server's local time), id and comment, then an empty
// line; LF line ends. Ranks are 1-based by score, equal scores sharing a rank (the entries come
// best first, equal scores earlier first).
std::string formatRanking(const std::vector<Storage::Entry>& entries);
// "YYYY/MM/DD hh:mm" in the server's local time, the list's regist_date.
std::string registDate(std::int64_t seconds);
// The rank of each entry, as formatRanking writes it.
std::vector<std::int32_t> ranksOf(const std::vector<Storage::Entry>& entries);

// One version's list as read from the storage, with its ranks and the text the game reads. The
// web pages are made from the same object, so they show exactly what the game's list shows.
struct RankedList {
    std::int32_t version = 0;
    std::vector<Storage::Entry> entries;
    std::vector<std::int32_t> ranks;
    std::string text;
};

// The game mode's replay version 104..107 is the only list there is; anything else is not.
bool rankedVersion(std::int64_t version);

// The texts of the four lists, rebuilt after this server stores a play and at most `maxAge` after
// the last build otherwise (other servers sharing the database may have stored plays). Each holds
// the best `size` entries of its version, so that however many players there are, the list stays
// far below the 16 MiB the game reads at most, and reading it stays cheap.
class RankingCache {
public:
    static constexpr std::size_t kDefaultSize = 1000;
    RankingCache(Storage& storage, std::chrono::milliseconds maxAge, std::size_t size = kDefaultSize)
        : storage_(storage), maxAge_(maxAge), size_(size) {}
    // The list of a ranked version. Throws StorageError.
    std::shared_ptr<const std::string> text(std::int32_t version);
    // The same list with its entries; the same object until the list is built again.
    std::shared_ptr<const RankedList> list(std::int32_t version);
    void invalidate(std::int32_t version);

private:
    struct Slot {
        std::mutex mutex;  // one rebuild at a time
        std::shared_ptr<const RankedList> list;
        std::chrono::steady_clock::time_point builtAt;
        std::uint64_t generation = 0, builtGeneration = 0;
        std::uint64_t reads = 0;  // reads of the storage ended, failed or not
        std::string failure;      // why the last one failed ("" when it did not)
    };
    static constexpr std::int32_t kFirstVersion = 104;
    Storage& storage_;
    std::chrono::milliseconds maxAge_;
    std::size_t size_;
    std::mutex guard_;  // the slots' text and generation
    Slot slots_[4];
};
