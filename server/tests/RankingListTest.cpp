#include <gtest/gtest.h>
#include <cstdlib>
#include <ctime>
#include <microhttpd.h>
#include "web/ListResponses.h"
#include "storage/RankingList.h"

namespace {
// Counts the reads, so the cache can be seen working.
struct CountingStorage : Storage {
    std::optional<std::string> passwordHashOf(const std::string&) override { return std::nullopt; }
    Outcome store(const Play&, std::int64_t*) override { return Outcome::Stored; }
    std::vector<Entry> ranking(std::int32_t version, std::int64_t) override {
        ++reads;
        return {{reads, "v" + std::to_string(version), 1, 1, 0, ""}};
    }
    std::optional<std::string> replay(std::int64_t) override { return std::nullopt; }
    std::optional<Play> play(std::int64_t) override { return std::nullopt; }
    std::vector<Play> history(const std::string&) override { return {}; }
    std::vector<std::int64_t> playsWithoutChart() override { return {}; }
    void setChart(std::int64_t, const std::string&) override {}
    std::vector<std::int64_t> playsWithoutPath() override { return {}; }
    void setPath(std::int64_t, const std::string&) override {}
    std::optional<Owner> samePathAs(std::int32_t, std::int32_t, const std::string&) override { return std::nullopt; }
    std::int64_t reads = 0;
};

TEST(RankingText, RanksShareEqualScoresAndEveryRecordEndsWithAnEmptyLine) {
    setenv("TZ", "UTC", 1);
    tzset();
    const std::vector<Storage::Entry> entries = {
        {7, "abc", 30, 5, 1765370700, "hi there"},  // 2025-12-10 12:45 UTC
        {3, "q\"u;o", 30, 6, 0, ""},
        {9, "xyz", 12, 2, 0, "\xe6\x97\xa5"},
        {2, "z", 11, 1, 0, "x"},
    };
    const std::string text = formatRanking(entries);
    EXPECT_EQ(text.substr(0, text.find("rank", 1)),
              "rank\n1\nusername\nabc\nscore\n30\nstage\n5\nregist_date\n2025/12/10 12:45\nid\n7\ncomment\nhi there\n\n");
    std::vector<std::string> ranks;
    for (std::size_t at = 0; (at = text.find("rank\n", at)) != std::string::npos; at += 5)
        ranks.push_back(text.substr(at + 5, text.find('\n', at + 5) - at - 5));
    EXPECT_EQ(ranks, (std::vector<std::string>{"1", "1", "3", "4"}));
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 11), "comment\nx\n\n");
    EXPECT_EQ(formatRanking({}), "");
}

TEST(RankingCache, ServesFromMemoryUntilAStoreOrTheMaximumAge) {
    CountingStorage storage;
    RankingCache cache(storage, std::chrono::hours(1));
    const auto first = cache.text(106);
    EXPECT_EQ(cache.text(106), first);
    EXPECT_EQ(storage.reads, 1);
    cache.text(104);
    EXPECT_EQ(storage.reads, 2) << "each version has its own list";
    cache.invalidate(106);
    EXPECT_NE(*cache.text(106), *first);
    EXPECT_EQ(storage.reads, 3);
    cache.invalidate(0);  // not a ranked version: nothing happens

    RankingCache uncached(storage, std::chrono::milliseconds(0));
    uncached.text(105);
    uncached.text(105);
    EXPECT_EQ(storage.reads, 5) << "other servers' plays show once the list is old enough";
}

TEST(ListResponses, OneResponsePerBuiltListAndASentOneOutlivesItsList) {
    CountingStorage storage;
    RankingCache cache(storage, std::chrono::hours(1));
    ListResponses lists(cache);
    const ListResponses::Reply first = lists.reply(106);
    ASSERT_TRUE(first.response);
    EXPECT_EQ(first.bytes, cache.text(106)->size());
    EXPECT_EQ(lists.reply(106).response, first.response) << "made once while the list stands";
    EXPECT_NE(lists.reply(105).response, first.response) << "each version has its own";
    EXPECT_STREQ(MHD_get_response_header(first.response.get(), MHD_HTTP_HEADER_CONTENT_TYPE),
                 "text/plain; charset=utf-8");

    // A store: the next request gets the new list while a connection still sending the old
    // reply keeps it (here: the copy held in `first`).
    cache.invalidate(106);
    const ListResponses::Reply second = lists.reply(106);
    ASSERT_TRUE(second.response);
    EXPECT_NE(second.response, first.response);
    EXPECT_EQ(second.bytes, cache.text(106)->size());
    EXPECT_EQ(storage.reads, 3);
    EXPECT_STREQ(MHD_get_response_header(first.response.get(), MHD_HTTP_HEADER_CONTENT_TYPE),
                 "text/plain; charset=utf-8");
}

TEST(RankingText, OnlyTheFourReplayVersionsAreRanked) {
    EXPECT_FALSE(rankedVersion(0));
    EXPECT_FALSE(rankedVersion(103));
    EXPECT_TRUE(rankedVersion(104));
    EXPECT_TRUE(rankedVersion(107));
    EXPECT_FALSE(rankedVersion(108));
}
}  // namespace
