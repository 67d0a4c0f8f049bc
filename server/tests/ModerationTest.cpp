#include <gtest/gtest.h>
#include <atomic>
#include <fstream>
#include <thread>
#include "storage/ChangeListener.h"
#include "storage/Moderation.h"
#include "PgCluster.h"
#include "ops/SqliteBackup.h"
#include "storage/Storage.h"

// The operator's commands and the change announcements, on both backends.
namespace {
class ModerationSuite : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-moderation-XXXXXX";
        dir_ = mkdtemp(tmpl);
        if (GetParam() == "postgresql") {
            testpg::Cluster& cluster = testpg::Cluster::get();
            // Untested only where PostgreSQL is not installed; a cluster that will not start fails.
            if (!cluster.installed()) GTEST_SKIP() << "PostgreSQL backend not tested: " << cluster.problem();
            ASSERT_TRUE(cluster.ready()) << "the PostgreSQL cluster did not start: " << cluster.problem();
            where_ = cluster.freshDatabase();
        } else {
            where_ = dir_ + "/ranking.sqlite";
        }
        storage = openStorage(where_);
        admin = openModeration(where_);
    }
    void TearDown() override {
        admin.reset();
        storage.reset();
        std::filesystem::remove_all(dir_);
    }

    static Storage::Play play(const std::string& name, std::int32_t score, std::int32_t mode = 4, std::string hash = "H") {
        return testpg::samplePlay(name, score, mode, std::move(hash));
    }
    std::string listed(std::int32_t version = 106) {
        std::string out;
        for (const Storage::Entry& e : storage->ranking(version)) out += e.name + ":" + std::to_string(e.score) + " ";
        return out;
    }
    std::int64_t idOf(const std::string& name) {
        for (const Moderation::Play& p : admin->plays())
            if (p.name == name) return p.id;
        return 0;
    }

    std::unique_ptr<Storage> storage;
    std::unique_ptr<Moderation> admin;
    std::string where_, dir_;
};

TEST_P(ModerationSuite, ABannedNameLeavesTheListsCannotUploadAndComesBackWhenUnbanned) {
    ASSERT_EQ(storage->store(play("cheat", 90)), Storage::Outcome::Stored);
    ASSERT_EQ(storage->store(play("cheat", 50, 5)), Storage::Outcome::Stored);
    ASSERT_EQ(storage->store(play("fair", 10)), Storage::Outcome::Stored);
    const Moderation::AuditEntry e = admin->setBanned("cheat", true, "ops");
    EXPECT_EQ(e.action, "ban");
    EXPECT_EQ(e.actor, "ops");
    EXPECT_EQ(listed(), "fair:10 ");
    EXPECT_EQ(listed(107), "");
    EXPECT_EQ(storage->passwordHashOf("cheat"), kBannedHash);
    EXPECT_EQ(storage->store(play("cheat", 99)), Storage::Outcome::Conflict) << "even with the registered hash";
    EXPECT_EQ(admin->bannedCount(), 1);
    EXPECT_EQ(admin->playCount(), 3) << "a ban hides the plays, it does not delete them";
    EXPECT_THROW(admin->setBanned("cheat", true, "ops"), ModerationRefused);
    EXPECT_THROW(admin->setBanned("nobody", true, "ops"), ModerationRefused);

    admin->setBanned("cheat", false, "ops");
    EXPECT_EQ(listed(), "cheat:90 fair:10 ");
    EXPECT_EQ(storage->passwordHashOf("cheat"), "H");
    EXPECT_EQ(admin->bannedCount(), 0);
}

TEST_P(ModerationSuite, RemoveRenameAndResetChangeOnlyTheirTarget) {
    ASSERT_EQ(storage->store(play("bad", 90)), Storage::Outcome::Stored);
    ASSERT_EQ(storage->store(play("good", 10)), Storage::Outcome::Stored);
    const std::int64_t bad = idOf("bad");
    admin->removePlay(bad, "ops");
    EXPECT_EQ(listed(), "good:10 ");
    EXPECT_FALSE(storage->replay(bad));
    EXPECT_THROW(admin->removePlay(bad, "ops"), ModerationRefused);
    EXPECT_EQ(storage->store(play("bad", 5)), Storage::Outcome::Stored) << "the player may upload again";

    admin->rename("good", "better", "ops");
    EXPECT_EQ(listed(), "better:10 bad:5 ");
    EXPECT_FALSE(storage->passwordHashOf("good"));
    EXPECT_EQ(storage->passwordHashOf("better"), "H") << "the password goes with the player";
    EXPECT_THROW(admin->rename("better", "bad", "ops"), ModerationRefused) << "taken";
    EXPECT_THROW(admin->rename("better", "nine char", "ops"), ModerationRefused);
    EXPECT_THROW(admin->rename("better", "", "ops"), ModerationRefused);
    EXPECT_THROW(admin->rename("ghost", "x", "ops"), ModerationRefused);

    admin->resetPassword("better", "ops");
    EXPECT_EQ(storage->passwordHashOf("better"), "") << "no password: the next upload sets one";
    EXPECT_EQ(storage->store(play("better", 11, 4, "NEW")), Storage::Outcome::Stored);
    EXPECT_EQ(storage->passwordHashOf("better"), "NEW");
    EXPECT_EQ(storage->store(play("better", 12, 4, "H")), Storage::Outcome::Conflict) << "the old password is gone";

    // Every change has its row, in order; the refusals wrote none.
    std::vector<std::string> actions;
    for (const Moderation::AuditEntry& e : admin->audit()) actions.push_back(e.action + " " + e.target);
    EXPECT_EQ(actions, (std::vector<std::string>{"remove-play " + std::to_string(bad), "rename good", "reset-password better"}));
    const std::int64_t second = admin->audit().at(1).id;
    EXPECT_EQ(admin->audit(second).size(), 1u);
}

TEST_P(ModerationSuite, EveryCommittedChangeIsHeardAndNothingElse) {
    std::unique_ptr<ChangeListener> listener = openChangeListener(where_);
    EXPECT_FALSE(listener->wait(std::chrono::milliseconds(50)));
    ASSERT_EQ(storage->store(play("abc", 10)), Storage::Outcome::Stored);
    EXPECT_TRUE(listener->wait(std::chrono::seconds(10))) << "an upload";
    EXPECT_FALSE(listener->wait(std::chrono::milliseconds(50))) << "heard once";
    admin->setBanned("abc", true, "ops");
    EXPECT_TRUE(listener->wait(std::chrono::seconds(10))) << "a ban";
    EXPECT_THROW(admin->rename("abc", "no such name!", "ops"), ModerationRefused);
    EXPECT_FALSE(listener->wait(std::chrono::milliseconds(50))) << "a refused change";
}

INSTANTIATE_TEST_SUITE_P(Backends, ModerationSuite, ::testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

// A backup taken while a writer keeps storing is one moment of the database: every play committed
// before it began, then a run of those committed meanwhile, and none half-written.
TEST(SqliteBackup, ACopyDuringUploadsHoldsEveryEarlierPlayAndRestores) {
    char tmpl[] = "/tmp/nimbulon-backup-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string live = dir + "/live.sqlite", copy = dir + "/copy.sqlite";
    auto storage = openStorage(live);
    std::atomic<int> committed{0};
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            Storage::Play p;
            p.name = "p" + std::to_string(i);
            p.passwordHash = "H";
            p.mode = 4;
            p.version = 106;
            p.score = i;
            p.replay = std::string(4096, 'r');
            storage->store(p);
            committed = i + 1;
        }
    });
    while (committed < 20) std::this_thread::yield();
    const int before = committed;
    sqlitebackup::backup(live, copy);
    const int after = committed;
    while (committed < after + 20) std::this_thread::yield();  // writes go on after the copy
    stop = true;
    writer.join();

    auto restored = openStorage(copy);
    const std::vector<Storage::Entry> kept = restored->ranking(106);
    EXPECT_GE(static_cast<int>(kept.size()), before);
    EXPECT_LE(static_cast<int>(kept.size()), after + 1);
    for (int i = 0; i < static_cast<int>(kept.size()); ++i)  // best first: p(n-1) ... p0, none missing
        EXPECT_EQ(kept[static_cast<std::size_t>(i)].name, "p" + std::to_string(kept.size() - 1 - static_cast<std::size_t>(i)));
    EXPECT_FALSE(std::filesystem::exists(copy + ".partial"));

    // Restored into the live database, which a server still holds open: its content is the copy's.
    const std::size_t copied = kept.size();
    restored.reset();
    sqlitebackup::restore(copy, live);
    EXPECT_EQ(storage->ranking(106).size(), copied);

    std::ofstream(dir + "/not-a-db") << "hello";
    EXPECT_THROW(sqlitebackup::restore(dir + "/not-a-db", live), StorageError);
    EXPECT_THROW(sqlitebackup::backup(dir + "/missing.sqlite", copy), StorageError);
    EXPECT_EQ(storage->ranking(106).size(), copied) << "a refused restore changes nothing";
    storage.reset();
    std::filesystem::remove_all(dir);
}
}  // namespace
