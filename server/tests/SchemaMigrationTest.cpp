#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include "storage/Moderation.h"
#include "core/PlayInput.h"
#include "storage/SchemaMigrations.h"
#include "storage/Storage.h"
#include "records/Score.h"

// ranking-before-versions.sqlite was written by the server as it was before the tables had a
// version: alice (mode 4, 17), bob (mode 4, 19), carol (mode 5, 11), then mallory with a copy of
// alice's play (its header's elapsed time changed) and a play of mode 2 of her own.
namespace {
namespace fs = std::filesystem;

class Upgrade : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-upgrade-XXXXXX";
        dir_ = mkdtemp(tmpl);
        path_ = dir_ + "/ranking.sqlite";
        fs::copy_file(NIMBULON_SOURCE_DIR "/server/tests/data/ranking-before-versions.sqlite", path_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string one(const char* sql) {
        sqlite3* db = nullptr;
        sqlite3_open(path_.c_str(), &db);
        sqlite3_stmt* s = nullptr;
        std::string out = "(none)";
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        sqlite3_close(db);
        return out;
    }
    std::vector<std::string> listed(Storage& storage, std::int32_t version) {
        std::vector<std::string> out;
        for (const Storage::Entry& e : storage.ranking(version)) out.push_back(e.name + ":" + std::to_string(e.score));
        return out;
    }

    std::string dir_, path_;
};

TEST_F(Upgrade, AnOldDatabaseGetsVersionsOwnersAndLosesTheCopyOnce) {
    ASSERT_EQ(one("SELECT count(*) FROM plays"), "5");
    {
        std::unique_ptr<Storage> storage = openStorage(path_);
        EXPECT_EQ(listed(*storage, 106), (std::vector<std::string>{"bob:19", "alice:17"})) << "mallory's copy is gone";
        EXPECT_EQ(listed(*storage, 104), (std::vector<std::string>{"mallory:8"})) << "her own play stays";
        EXPECT_EQ(listed(*storage, 107), (std::vector<std::string>{"carol:11"}));
        const std::vector<Moderation::AuditEntry> audit = openModeration(path_)->audit(0);
        ASSERT_EQ(audit.size(), 1u);
        EXPECT_EQ(audit[0].action, "remove-play");
        EXPECT_EQ(audit[0].target, "4");
        EXPECT_EQ(audit[0].detail, "player mallory: a copy of play 1");

        // The copy cannot come back under any name but alice's.
        const std::optional<std::string> bytes = storage->replay(1);
        ASSERT_TRUE(bytes);
        Score record(nullptr);
        std::istringstream in(*bytes);
        ASSERT_TRUE(record.read(in));
        Storage::Play again;
        again.name = "eve";
        again.passwordHash = "H";
        again.mode = 4;
        again.version = 106;
        again.score = 17;
        again.replay = *bytes;
        again.inputKey = playInputKey(record, record.getHeader().frames);
        std::int64_t copied = 0;
        EXPECT_EQ(storage->store(again, &copied), Storage::Outcome::Copy);
        EXPECT_EQ(copied, 1);

        // The table made again without its one-play-per-mode rule: a beaten play stays.
        again.inputKey.clear();
        ASSERT_EQ(storage->store(again), Storage::Outcome::Stored);
        again.score = 18;
        ASSERT_EQ(storage->store(again), Storage::Outcome::Stored);
        EXPECT_EQ(storage->history("eve").size(), 2u);
        EXPECT_EQ(listed(*storage, 106), (std::vector<std::string>{"bob:19", "eve:18", "alice:17"}));
    }
    EXPECT_EQ(one("SELECT version FROM schema_version"), std::to_string(schema::latestVersion()));
    EXPECT_EQ(one("SELECT count(*) FROM play_inputs"), "4");
    EXPECT_EQ(one("SELECT count(*) FROM players WHERE banned = 0"), "5") << "names can be banned now";
    // Opening it again changes nothing.
    openStorage(path_).reset();
    EXPECT_EQ(one("SELECT count(*) FROM play_inputs"), "4");
    EXPECT_EQ(one("SELECT count(*) FROM audit"), "1");
}

TEST_F(Upgrade, ADatabaseFromANewerServerIsRefusedUntouched) {
    openStorage(path_).reset();
    sqlite3* db = nullptr;
    sqlite3_open(path_.c_str(), &db);
    sqlite3_exec(db, "UPDATE schema_version SET version = 999", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    try {
        openStorage(path_);
        FAIL() << "opened a database of schema version 999";
    } catch (const StorageError& e) {
        EXPECT_NE(std::string(e.what()).find("newer than this server knows"), std::string::npos) << e.what();
    }
    EXPECT_EQ(one("SELECT version FROM schema_version"), "999");
}

TEST(PlayInputKey, TheSamePlayWhateverTheFileSaysAroundIt) {
    // One stage of mode 4 over 11 frames (10 polls): 3 polls of Fire, 7 of nothing.
    auto file = [](std::int32_t mode, std::int32_t ms, std::vector<std::pair<std::uint16_t, std::uint16_t>> runs) {
        std::string out("NimbulonScoreFile\0", 18);
        auto put = [&](std::int32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
        put(32);
        for (std::int32_t v : {102 + mode, mode, 0, 1, 3, 1, ms, 11}) put(v);
        put(0);
        put(0);
        put(static_cast<std::int32_t>(runs.size()));
        for (auto [repeat, bits] : runs) put(repeat | bits << 16);
        Score record(nullptr);
        std::istringstream in(out);
        EXPECT_TRUE(record.read(in));
        return playInputKey(record, 11);
    };
    const std::string key = file(4, 100, {{2, 1}, {6, 0}});
    EXPECT_EQ(file(4, 555, {{2, 1}, {6, 0}}), key) << "elapsed time";
    EXPECT_EQ(file(4, 100, {{0, 1}, {1, 1}, {2, 0}, {3, 0}}), key) << "runs split differently";
    EXPECT_EQ(file(4, 100, {{2, 1}, {6, 0}, {40, 3}}), key) << "input past the last frame";
    EXPECT_NE(file(5, 100, {{2, 1}, {6, 0}}), key) << "another mode";
    EXPECT_NE(file(4, 100, {{1, 1}, {7, 0}}), key) << "another input";
}
}  // namespace
