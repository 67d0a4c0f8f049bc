#include "RankingList.h"
#include <ctime>

namespace {
std::string date(std::int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    localtime_r(&t, &tm);
    char out[32];
    std::strftime(out, sizeof out, "%Y/%m/%d %H:%M", &tm);
    return out;
}

void pair(std::string& out, const char* key, const std::string& value) {
    out += key;
    out += '\n';
    out += value;
    out += '\n';
}
}  // namespace

bool rankedVersion(std::int64_t version) { return version >= 104 && version <= 107; }

std::string formatRanking(const std::vector<Storage::Entry>& entries) {
    std::string out;
    out.reserve(entries.size() * 128);
    std::size_t rank = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Storage::Entry& e = entries[i];
        if (i == 0 || entries[i - 1].score != e.score) rank = i + 1;
        pair(out, "rank", std::to_string(rank));
        pair(out, "username", e.name);
        pair(out, "score", std::to_string(e.score));
        pair(out, "stage", std::to_string(e.stage));
        pair(out, "regist_date", date(e.uploadedAt));
        pair(out, "id", std::to_string(e.id));
        pair(out, "comment", e.comment);
        out += '\n';
    }
    return out;
}

std::shared_ptr<const std::string> RankingCache::text(std::int32_t version) {
    Slot& slot = slots_[version - kFirstVersion];
    const auto now = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(guard_);
        if (slot.text && slot.builtGeneration == slot.generation && now - slot.builtAt < maxAge_) return slot.text;
    }
    std::lock_guard rebuilding(slot.mutex);
    std::uint64_t generation;
    {
        // Another caller may have rebuilt it while this one waited.
        std::lock_guard lock(guard_);
        if (slot.text && slot.builtGeneration == slot.generation && std::chrono::steady_clock::now() - slot.builtAt < maxAge_)
            return slot.text;
        generation = slot.generation;
    }
    const auto readAt = std::chrono::steady_clock::now();
    auto text = std::make_shared<const std::string>(formatRanking(storage_.ranking(version)));
    std::lock_guard lock(guard_);
    slot.text = text;
    slot.builtAt = readAt;
    slot.builtGeneration = generation;
    return text;
}

void RankingCache::invalidate(std::int32_t version) {
    if (!rankedVersion(version)) return;
    std::lock_guard lock(guard_);
    ++slots_[version - kFirstVersion].generation;
}
