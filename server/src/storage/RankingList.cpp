#include "storage/RankingList.h"
#include <ctime>

std::string registDate(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char out[32];
    std::strftime(out, sizeof out, "%Y/%m/%d %H:%M", &tm);
    return out;
}

namespace {
void pair(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '\n';
    out += value;
    out += '\n';
}
}  // namespace

bool rankedVersion(std::int64_t version) { return version >= 104 && version <= 107; }

std::vector<std::int32_t> ranksOf(const std::vector<Storage::Entry>& entries) {
    std::vector<std::int32_t> ranks(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        ranks[i] = i > 0 && entries[i - 1].score == entries[i].score ? ranks[i - 1] : static_cast<std::int32_t>(i + 1);
    return ranks;
}

std::string formatRanking(const std::vector<Storage::Entry>& entries) {
    std::string out;
    out.reserve(entries.size() * 128);
    const std::vector<std::int32_t> ranks = ranksOf(entries);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Storage::Entry& e = entries[i];
        pair(out, "rank", std::to_string(ranks[i]));
        pair(out, "username", e.name);
        pair(out, "score", std::to_string(e.score));
        pair(out, "stage", std::to_string(e.stage));
        pair(out, "regist_date", registDate(e.uploadedAt));
        pair(out, "id", std::to_string(e.id));
        pair(out, "comment", e.comment);
        out += '\n';
    }
    return out;
}

std::shared_ptr<const std::string> RankingCache::text(std::int32_t version) {
    std::shared_ptr<const RankedList> l = list(version);
    return std::shared_ptr<const std::string>(l, &l->text);
}

std::shared_ptr<const RankedList> RankingCache::list(std::int32_t version) {
    Slot& slot = slots_[version - kFirstVersion];
    const auto now = std::chrono::steady_clock::now();
    std::uint64_t readsBefore;
    {
        std::lock_guard lock(guard_);
        if (slot.list && slot.builtGeneration == slot.generation && now - slot.builtAt < maxAge_) return slot.list;
        readsBefore = slot.reads;
    }
    std::unique_lock rebuilding(slot.mutex, std::try_to_lock);
    if (!rebuilding.owns_lock()) {
        // Another caller is reading the list. When the last read failed, this one is answered at
        // once rather than keeping its HTTP thread (and the requests behind it) waiting for a
        // database that may not answer.
        {
            std::lock_guard lock(guard_);
            if (!slot.failure.empty()) throw StorageError(slot.failure);
        }
        rebuilding.lock();
    }
    std::uint64_t generation;
    {
        // Another caller may have rebuilt it while this one waited.
        std::lock_guard lock(guard_);
        if (slot.list && slot.builtGeneration == slot.generation && std::chrono::steady_clock::now() - slot.builtAt < maxAge_)
            return slot.list;
        // Or failed to: a database that does not answer is waited for once, not once per caller
        // in the line (each would add a whole timeout to the wait of the next).
        if (slot.reads != readsBefore && !slot.failure.empty()) throw StorageError(slot.failure);
        generation = slot.generation;
    }
    const auto readAt = std::chrono::steady_clock::now();
    auto built = std::make_shared<RankedList>();
    built->version = version;
    try {
        built->entries = storage_.ranking(version, static_cast<std::int64_t>(size_));
    } catch (const std::exception& e) {
        std::lock_guard lock(guard_);
        ++slot.reads;
        slot.failure = e.what();
        throw;
    }
    built->ranks = ranksOf(built->entries);
    built->text = formatRanking(built->entries);
    std::lock_guard lock(guard_);
    ++slot.reads;
    slot.failure.clear();
    slot.list = built;
    slot.builtAt = readAt;
    slot.builtGeneration = generation;
    return built;
}

void RankingCache::invalidate(std::int32_t version) {
    if (!rankedVersion(version)) return;
    std::lock_guard lock(guard_);
    ++slots_[version - kFirstVersion].generation;
}
