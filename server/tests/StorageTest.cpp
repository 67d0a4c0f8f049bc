#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>
#include <tuple>
#include "PgCluster.h"
#include "storage/Moderation.h"
#include "storage/Storage.h"
#include "SyntheticPaths.h"
#include "support/Prerequisite.h"

// One suite for both backends: SQLite in a temporary file, PostgreSQL in a throwaway cluster
// (a failure naming the package when PostgreSQL is not installed, unless NIMBULON_SKIP names it; a
// cluster that fails to start fails).
namespace {
using testpg::Cluster;

class StorageSuite : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        if (GetParam() == "postgresql") {
            testpg::Cluster& cluster = testpg::Cluster::get();
            // Not installed: a failure that names it, or a skip the developer asked for by name.
            NIMBULON_REQUIRE("postgresql", cluster.installed(), cluster.problem());
            ASSERT_TRUE(cluster.ready()) << "the PostgreSQL cluster did not start: " << cluster.problem();
            where_ = cluster.freshDatabase();
        } else {
            char tmpl[] = "/tmp/nimbulon-sqlite-XXXXXX";
            dir_ = mkdtemp(tmpl);
            where_ = dir_ + "/ranking.sqlite";
        }
        storage = openStorage(where_);
    }
    void TearDown() override {
        storage.reset();
        if (!dir_.empty()) std::filesystem::remove_all(dir_);
    }

    static Storage::Play play(const std::string& name, std::int32_t score, std::int32_t mode = 4, std::string hash = "H") {
        return testpg::samplePlay(name, score, mode, std::move(hash));
    }
    std::vector<std::string> names(std::int32_t version, std::int64_t limit = INT64_MAX) {
        std::vector<std::string> out;
        for (const Storage::Entry& e : storage->ranking(version, limit)) out.push_back(e.name + ":" + std::to_string(e.score));
        return out;
    }

    std::unique_ptr<Moderation> openModerationOf() { return openModeration(where_); }

    std::unique_ptr<Storage> storage;
    std::string where_, dir_;
};

TEST_P(StorageSuite, RegistersOnFirstStoreAndRefusesAnotherHash) {
    EXPECT_FALSE(storage->passwordHashOf("abc"));
    EXPECT_EQ(storage->store(play("abc", 10, 4, "hash-1")), Storage::Outcome::Stored);
    EXPECT_EQ(storage->passwordHashOf("abc"), "hash-1");
    EXPECT_EQ(storage->store(play("abc", 99, 4, "hash-2")), Storage::Outcome::Conflict);
    EXPECT_EQ(names(106), std::vector<std::string>{"abc:10"}) << "a conflict stores nothing";
    EXPECT_EQ(storage->passwordHashOf("ABC"), "hash-1") << "a name that folds alike is the same player";
    EXPECT_FALSE(storage->passwordHashOf("abd"));
}

// "Ren", "ren" and "REN" look the same on the list: they are one player, shown as first stored.
TEST_P(StorageSuite, NamesThatFoldAlikeAreOnePlayerShownAsStored) {
    ASSERT_EQ(storage->store(play("Ren", 10, 4, "H")), Storage::Outcome::Stored);
    EXPECT_EQ(storage->store(play("ren", 20, 4, "H")), Storage::Outcome::Stored) << "the owner, typed otherwise";
    EXPECT_EQ(storage->store(play("REN", 30, 4, "X")), Storage::Outcome::Conflict) << "anyone else";
    EXPECT_EQ(storage->store(play("rEn", 40, 5, "X")), Storage::Outcome::Conflict) << "in any mode";
    EXPECT_EQ(names(106), std::vector<std::string>{"Ren:20"});
    EXPECT_TRUE(names(107).empty());
    EXPECT_EQ(storage->play(storage->ranking(106).at(0).id)->name, "Ren");
}

TEST_P(StorageSuite, APlaysInputHasOneOwnerForGood) {
    auto keyed = [&](const std::string& name, std::int32_t score, const std::string& key) {
        Storage::Play p = play(name, score);
        p.inputKey = key;
        return p;
    };
    ASSERT_EQ(storage->store(keyed("alice", 10, "k1")), Storage::Outcome::Stored);
    const std::int64_t original = storage->ranking(106).at(0).id;
    std::int64_t copied = 0;
    EXPECT_EQ(storage->store(keyed("mallory", 10, "k1"), &copied), Storage::Outcome::Copy);
    EXPECT_EQ(copied, original);
    EXPECT_FALSE(storage->passwordHashOf("mallory")) << "a refused copy registers nothing";
    EXPECT_EQ(storage->store(keyed("alice", 10, "k1")), Storage::Outcome::KeptEarlier) << "the owner again";
    // Alice's better play replaces the first; the first stays hers all the same.
    ASSERT_EQ(storage->store(keyed("alice", 20, "k2")), Storage::Outcome::Stored);
    EXPECT_EQ(storage->store(keyed("mallory", 30, "k1")), Storage::Outcome::Copy);
    EXPECT_EQ(storage->store(keyed("mallory", 5, "k3")), Storage::Outcome::Stored);
    EXPECT_EQ(names(106), (std::vector<std::string>{"alice:20", "mallory:5"}));
}

TEST_P(StorageSuite, KeepsEachPlayersBestPerModeAndTiesKeepTheEarlierPlay) {
    ASSERT_EQ(storage->store(play("abc", 10)), Storage::Outcome::Stored);
    const std::int64_t first = storage->ranking(106).at(0).id;
    EXPECT_EQ(storage->store(play("abc", 10)), Storage::Outcome::KeptEarlier);
    EXPECT_EQ(storage->store(play("abc", 3)), Storage::Outcome::KeptEarlier);
    EXPECT_EQ(storage->ranking(106).at(0).id, first);
    EXPECT_EQ(storage->store(play("abc", 5, 5)), Storage::Outcome::Stored) << "another mode is another list";
    EXPECT_EQ(storage->store(play("abc", 11)), Storage::Outcome::Stored);
    ASSERT_EQ(names(106), std::vector<std::string>{"abc:11"});
    const std::int64_t better = storage->ranking(106).at(0).id;
    EXPECT_NE(better, first);
    EXPECT_EQ(names(107), std::vector<std::string>{"abc:5"});
}

TEST_P(StorageSuite, ABeatenPlayStaysStoredSupersededAndRemovingTheBestBringsItBack) {
    ASSERT_EQ(storage->store(play("abc", 10)), Storage::Outcome::Stored);
    const std::int64_t first = storage->ranking(106).at(0).id;
    ASSERT_EQ(storage->store(play("abc", 20)), Storage::Outcome::Stored);
    const std::int64_t second = storage->ranking(106).at(0).id;
    ASSERT_EQ(storage->store(play("abc", 30)), Storage::Outcome::Stored);
    const std::int64_t third = storage->ranking(106).at(0).id;
    ASSERT_EQ(storage->store(play("abc", 7, 5)), Storage::Outcome::Stored);
    EXPECT_EQ(names(106), std::vector<std::string>{"abc:30"}) << "the list shows the best only";
    EXPECT_TRUE(storage->replay(first)) << "a beaten play keeps its replay";
    ASSERT_TRUE(storage->play(first));
    EXPECT_EQ(storage->play(first)->supersededBy, second);
    EXPECT_EQ(storage->play(second)->supersededBy, third);
    EXPECT_EQ(storage->play(third)->supersededBy, 0);
    std::vector<std::string> history;
    for (const Storage::Play& p : storage->history("abc"))
        history.push_back(std::to_string(p.mode) + ":" + std::to_string(p.score) + ">" + std::to_string(p.supersededBy));
    EXPECT_EQ(history, (std::vector<std::string>{"4:10>" + std::to_string(second), "4:20>" + std::to_string(third),
                                                 "4:30>0", "5:7>0"}));
    EXPECT_TRUE(storage->history("nobody").empty());

    // The operator removes the middle play, then the best: the chain closes over the first, and
    // the play left is the best again.
    std::unique_ptr<Moderation> moderation = openModerationOf();
    moderation->removePlay(second, "test");
    EXPECT_EQ(storage->play(first)->supersededBy, third);
    moderation->removePlay(third, "test");
    EXPECT_EQ(storage->play(first)->supersededBy, 0);
    EXPECT_EQ(names(106), std::vector<std::string>{"abc:10"});
    EXPECT_FALSE(storage->replay(third));
    // And the player's next better play supersedes it as before.
    ASSERT_EQ(storage->store(play("abc", 15)), Storage::Outcome::Stored);
    EXPECT_EQ(names(106), std::vector<std::string>{"abc:15"});
    EXPECT_NE(storage->play(first)->supersededBy, 0);
}

TEST_P(StorageSuite, ListsBestFirstWithEqualScoresInStoringOrderAndCutsAfterTheBestN) {
    for (const auto& [name, score] : std::vector<std::pair<std::string, int>>{
             {"b", 20}, {"a", 30}, {"c", 20}, {"q\"u;o'", 5}, {"d", 30}}) {
        ASSERT_EQ(storage->store(play(name, score)), Storage::Outcome::Stored);
    }
    storage->store(play("old", 100, 2));
    EXPECT_EQ(names(106), (std::vector<std::string>{"a:30", "d:30", "b:20", "c:20", "q\"u;o':5"}));
    EXPECT_EQ(names(104), std::vector<std::string>{"old:100"});
    EXPECT_TRUE(names(105).empty());
    EXPECT_EQ(names(106, 3), (std::vector<std::string>{"a:30", "d:30", "b:20"}));
    EXPECT_EQ(names(106, 1), std::vector<std::string>{"a:30"});
    const Storage::Entry e = storage->ranking(106).at(0);
    EXPECT_EQ(e.stage, 2);
    EXPECT_EQ(e.comment, "c a");
    EXPECT_EQ(e.uploadedAt, 1700000030);
}

TEST_P(StorageSuite, ReplaysComeBackByteForByte) {
    Storage::Play p = play("abc", 10);
    for (int i = 0; i < 256; ++i) p.replay += static_cast<char>(i);
    storage->store(p);
    const std::int64_t id = storage->ranking(106).at(0).id;
    EXPECT_EQ(storage->replay(id), p.replay);
    EXPECT_FALSE(storage->replay(id + 1000));
}

TEST_P(StorageSuite, ParallelStoresOfManyPlayersAllLand) {
    constexpr int kThreads = 8, kEach = 8;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i) storage->store(play("p" + std::to_string(t * kEach + i), t * kEach + i));
        });
    // Two players racing for one name: exactly one registration wins.
    std::vector<Storage::Outcome> race(2);
    std::thread r1([&] { race[0] = storage->store(play("race", 1, 4, "one")); });
    std::thread r2([&] { race[1] = storage->store(play("race", 2, 4, "two")); });
    for (auto& t : threads) t.join();
    r1.join();
    r2.join();
    EXPECT_EQ(storage->ranking(106).size(), static_cast<std::size_t>(kThreads * kEach + 1));
    EXPECT_EQ(std::set<Storage::Outcome>(race.begin(), race.end()),
              (std::set<Storage::Outcome>{Storage::Outcome::Stored, Storage::Outcome::Conflict}));
}

TEST_P(StorageSuite, ReopeningKeepsEverything) {
    storage->store(play("abc", 10, 4, "hash-1"));
    storage.reset();
    storage = openStorage(where_);
    EXPECT_EQ(storage->passwordHashOf("abc"), "hash-1");
    EXPECT_EQ(names(106), std::vector<std::string>{"abc:10"});
}

TEST_P(StorageSuite, APlayComesBackWithItsChartAndAChartIsSetOnlyOnce) {
    Storage::Play p = play("ann", 40);
    p.chart = "S 100/40 L 50/10 P 60 20";
    ASSERT_EQ(storage->store(p), Storage::Outcome::Stored);
    Storage::Play old = play("ben", 30);
    old.chart.clear();
    ASSERT_EQ(storage->store(old), Storage::Outcome::Stored);
    const std::int64_t annId = storage->ranking(106).at(0).id, benId = storage->ranking(106).at(1).id;
    const std::optional<Storage::Play> got = storage->play(annId);
    ASSERT_TRUE(got);
    EXPECT_EQ(got->id, annId);
    EXPECT_EQ(got->name, "ann");
    EXPECT_EQ(std::tie(got->mode, got->version, got->score, got->stage, got->lives, got->frames),
              std::tie(p.mode, p.version, p.score, p.stage, p.lives, p.frames));
    EXPECT_EQ(got->comment, p.comment);
    EXPECT_EQ(got->uploadedAt, p.uploadedAt);
    EXPECT_EQ(got->chart, p.chart);
    EXPECT_TRUE(got->replay.empty()) << "the bytes are fetched by replay() alone";
    EXPECT_FALSE(storage->play(benId + 100));
    // A stored play always has its chart (empty: none), so nothing waits for one.
    EXPECT_TRUE(storage->playsWithoutChart().empty());
    storage->setChart(annId, "S 1/1 L P 60");
    EXPECT_EQ(storage->play(annId)->chart, p.chart) << "a play that has a chart keeps it";
}

TEST_P(StorageSuite, APathHasOneOwnerForGoodAndADressedCopyIsRefused) {
    const std::string path = synthetic::wander(1, 4000).encode();
    const std::string copy = synthetic::dressed(synthetic::wander(1, 4000), 2000, 5).encode();
    auto withPath = [&](std::string name, std::int32_t score, const std::string& p, std::int32_t mode = 4) {
        Storage::Play play = this->play(name, score, mode);
        play.inputKey = name + std::to_string(score) + std::to_string(mode);  // new input every time
        play.path = p;
        return play;
    };
    ASSERT_EQ(storage->store(withPath("ann", 10, path)), Storage::Outcome::Stored);
    const std::int64_t annPlay = storage->ranking(106).at(0).id;
    std::int64_t copied = 0;
    EXPECT_EQ(storage->store(withPath("bob", 12, copy), &copied), Storage::Outcome::Copy);
    EXPECT_EQ(copied, annPlay);
    EXPECT_EQ(storage->store(withPath("ann", 12, copy)), Storage::Outcome::KeptEarlier) << "its owner, dressed";
    EXPECT_EQ(names(106), std::vector<std::string>{"ann:10"}) << "nothing changes";
    const std::optional<Storage::Owner> owner = storage->samePathAs(4, 106, copy);
    ASSERT_TRUE(owner);
    EXPECT_EQ(owner->name, "ann");
    EXPECT_EQ(owner->play, annPlay);

    EXPECT_EQ(storage->store(withPath("bob", 9, synthetic::wander(2, 4000).encode())), Storage::Outcome::Stored);
    EXPECT_EQ(storage->store(withPath("cy", 9, path, 2)), Storage::Outcome::Stored) << "another mode is another play";
    // Too short to tell a copy from a memorised opening: never compared.
    EXPECT_EQ(storage->store(withPath("dee", 9, synthetic::wander(3, 3000).encode())), Storage::Outcome::Stored);
    EXPECT_EQ(storage->store(withPath("eve", 9, synthetic::wander(3, 3000).encode())), Storage::Outcome::Stored);

    // A better play replaces ann's, and her first path stays hers.
    ASSERT_EQ(storage->store(withPath("ann", 50, synthetic::wander(4, 5000).encode())), Storage::Outcome::Stored);
    EXPECT_EQ(storage->store(withPath("fay", 12, copy), &copied), Storage::Outcome::Copy);
    EXPECT_EQ(copied, annPlay);
    EXPECT_EQ(names(106), (std::vector<std::string>{"ann:50", "bob:9", "dee:9", "eve:9"}));
    EXPECT_TRUE(storage->playsWithoutPath().empty());
}

TEST_P(StorageSuite, APlayStoredWithoutAPathGetsOneOnceAndIsFoundByIt) {
    ASSERT_EQ(storage->store(play("ann", 10)), Storage::Outcome::Stored);
    const std::vector<std::int64_t> waiting = storage->playsWithoutPath();
    ASSERT_EQ(waiting.size(), 1u);
    const std::string path = synthetic::wander(5, 4000).encode();
    EXPECT_FALSE(storage->samePathAs(4, 106, path));
    storage->setPath(waiting[0], path);
    storage->setPath(waiting[0], synthetic::wander(6, 4000).encode());  // a second one is ignored
    EXPECT_TRUE(storage->playsWithoutPath().empty());
    ASSERT_TRUE(storage->samePathAs(4, 106, path));
    EXPECT_EQ(storage->samePathAs(4, 106, path)->play, waiting[0]);
    EXPECT_FALSE(storage->samePathAs(4, 106, synthetic::wander(6, 4000).encode()));
}

INSTANTIATE_TEST_SUITE_P(Backends, StorageSuite, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

TEST(SqliteStorage, UsesWriteAheadLoggingAndRefusesAnUnopenableFile) {
    char tmpl[] = "/tmp/nimbulon-sqlite-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    {
        auto s = openStorage(dir + "/r.sqlite");
        Storage::Play p;
        p.name = "abc";
        p.passwordHash = "h";
        p.mode = 4;
        p.version = 106;
        s->store(p);
        EXPECT_TRUE(std::filesystem::exists(dir + "/r.sqlite-wal"));
    }
    EXPECT_THROW(openStorage(dir + "/missing/folder/r.sqlite"), StorageError);
    EXPECT_THROW(openStorage("postgresql://nobody@127.0.0.1:1/none"), StorageError);
    std::filesystem::remove_all(dir);
}
}  // namespace
