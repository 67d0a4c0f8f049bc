#include <gtest/gtest.h>
#include "RecordsFixture.h"
#include "records/RankingData.h"

namespace {

class RankingDataTest : public RecordsFixture {
protected:
    RankingData parsed(const std::string& text) {
        writeText("./data/ranking.dat", text);
        RankingData data(log.get());
        EXPECT_TRUE(data.load("./data/ranking.dat"));
        return data;
    }
    static std::vector<std::string> column(const RankingData& d, const std::string& key) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < d.size(); ++i) out.push_back(d.value(i, key));
        return out;
    }
};

const std::string kTwo = "rank\n1\nusername\nabc\nscore\n120\n\nrank\n2\nusername\nxyz\nscore\n98\n\n";

TEST_F(RankingDataTest, RecordsAreReadInFileOrderWithTheLastOneDropped) {
    using V = std::vector<std::string>;
    struct Case {
        const char* name;
        std::string text;
        V usernames;
    };
    const Case cases[] = {
        {"downloaded: two records and the zero byte", kTwo + std::string(1, '\0'), {"abc", "xyz"}},
        {"two records without the zero byte", kTwo, {"abc", "xyz"}},
        {"only the zero byte", std::string(1, '\0'), {}},
        {"empty file", "", {}},
        {"last record lacks its empty line", "username\nabc\n\nusername\nxyz\n", {"abc"}},
        {"file ends inside the last value line", "username\nabc\n\nusername\nxyz", {"abc"}},
        {"file ends after a key line", "username\nabc\n\nusername\n", {"abc"}},
        {"CR LF line ends", "username\r\nabc\r\n\r\nusername\r\nxyz\r\n\r\n", {"abc", "xyz"}},
        {"blank records count as records", "\n\nusername\nq\n\n", {"", "", "q"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(column(parsed(c.text), "username"), c.usernames);
    }
}

TEST_F(RankingDataTest, FieldsOfARecord) {
    const RankingData d = parsed("rank\n3\nusername\na b!\nscore\n7\nscore\n8\nstage\n5\nregist_date\n2004/01/02\n"
                                 "id\n77\ncomment\nhello there\nextra\nkept\n\n" + std::string(1, '\0'));
    ASSERT_EQ(d.size(), 1u);
    const RankingRecord expected = {{"rank", "3"},           {"username", "a b!"}, {"score", "8"},
                                    {"stage", "5"},          {"regist_date", "2004/01/02"},
                                    {"id", "77"},            {"comment", "hello there"},
                                    {"extra", "kept"}};
    EXPECT_EQ(d[0], expected);  // the second "score" wins
    EXPECT_EQ(d.value(0, "missing"), "");
    EXPECT_EQ(d.value(5, "rank"), "");
}

TEST_F(RankingDataTest, OverlongLinesAndStrayBytesStayWithinTheList) {
    // A 2500-character line is read in pieces of at most 998 characters; nothing overruns and the
    // records after it still parse.
    std::string junk(2500, 'k');
    const RankingData d = parsed("username\n" + junk + "\n\n" + std::string("\xff\x01\x02", 3) + "\n\n" + kTwo);
    EXPECT_GE(d.size(), 3u);
    EXPECT_EQ(d.value(d.size() - 2, "username"), "abc");
    for (std::size_t i = 0; i < d.size(); ++i)
        for (const auto& [k, v] : d[i]) EXPECT_LE(k.size() + v.size(), 2u * 998);
}

TEST_F(RankingDataTest, MissingFileIsLoggedAndLeavesTheListAsItWas) {
    writeText("./data/ranking_1lap.dat", kTwo);
    RankingData d(log.get());
    ASSERT_TRUE(d.load("./data/ranking_1lap.dat"));
    EXPECT_FALSE(d.load("./data/ranking_2lap.dat"));
    EXPECT_EQ(d.size(), 2u);
    EXPECT_NE(logText().find("ランキングの読み出しに失敗。ファイル名：./data/ranking_2lap.dat"), std::string::npos);
    EXPECT_NE(logText().find("ランキングファイル読み込み ファイル名：./data/ranking_1lap.dat"), std::string::npos);
}

}  // namespace
