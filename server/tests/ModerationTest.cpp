#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <atomic>
#include <fstream>
#include <thread>
#include "storage/ChangeListener.h"
#include "storage/Moderation.h"
#include "PgCluster.h"
#include "ops/DatabaseFile.h"
#include "ops/SqliteBackup.h"
#include "storage/Storage.h"
#include "support/Prerequisite.h"

// The operator's commands and the change announcements, on both backends.
namespace {
class ModerationSuite : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-moderation-XXXXXX";
        dir_ = mkdtemp(tmpl);
        if (GetParam() == "postgresql") {
            testpg::Cluster& cluster = testpg::Cluster::get();
            // Not installed: a failure that names it, or a skip the developer asked for by name.
            NIMBULON_REQUIRE("postgresql", cluster.installed(), cluster.problem());
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
    for (const Moderation::Play& p : admin->plays()) {
        // Served nowhere: neither the replay (/replay, /watch) nor the play (its page, the JSON).
        EXPECT_EQ(storage->replay(p.id).has_value(), !p.banned) << p.name;
        EXPECT_EQ(storage->play(p.id).has_value(), !p.banned) << p.name;
    }
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
    EXPECT_TRUE(storage->replay(idOf("cheat")));
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

    admin->resetPassword("better", "NEW", "ops");
    EXPECT_EQ(storage->passwordHashOf("better"), "NEW") << "the operator's password, at once";
    EXPECT_EQ(storage->store(play("better", 12, 4, "H")), Storage::Outcome::Conflict) << "the old password is gone";
    EXPECT_EQ(storage->store(play("better", 12, 4, "ANY")), Storage::Outcome::Conflict) << "no first comer takes it";
    EXPECT_EQ(storage->store(play("better", 11, 4, "NEW")), Storage::Outcome::Stored);
    EXPECT_THROW(admin->resetPassword("better", "", "ops"), ModerationRefused);
    EXPECT_THROW(admin->resetPassword("ghost", "NEW", "ops"), ModerationRefused);

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
    EXPECT_EQ((std::filesystem::status(copy).permissions() & std::filesystem::perms::all), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
        << "a backup holds the password hashes: its owner's alone";
    sqlitebackup::restore(copy, live, "ops");
    EXPECT_EQ(storage->ranking(106).size(), copied);

    std::ofstream(dir + "/not-a-db") << "hello";
    EXPECT_THROW(sqlitebackup::restore(dir + "/not-a-db", live, "ops"), StorageError);
    EXPECT_THROW(sqlitebackup::backup(dir + "/missing.sqlite", copy), StorageError);
    EXPECT_EQ(storage->ranking(106).size(), copied) << "a refused restore changes nothing";
    storage.reset();
    std::filesystem::remove_all(dir);
}

// The files the ranking is kept in are their owner's alone, the WAL and shared index too.
TEST(DatabaseFile, IsMadeOnlyOnceAndForItsOwnerAlone) {
    char tmpl[] = "/tmp/nimbulon-dbfile-XXXXXX";
    const std::string dir = mkdtemp(tmpl);
    const std::string path = dir + "/ranking.sqlite";
    EXPECT_FALSE(databasefile::exists(path));
    EXPECT_TRUE(databasefile::exists("postgresql://u@h/n")) << "made by the operator";
    const mode_t before = umask(0);  // the most open umask: the files still come out 0600
    databasefile::create(path);
    umask(before);
    EXPECT_TRUE(databasefile::exists(path));
    EXPECT_THROW(databasefile::create(path), StorageError) << "never over an existing file";
    {
        auto storage = openStorage(path);
        ASSERT_EQ(storage->store(testpg::samplePlay("abc", 1)), Storage::Outcome::Stored);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            ASSERT_TRUE(std::filesystem::exists(path + suffix)) << suffix;
            EXPECT_EQ(std::filesystem::status(path + suffix).permissions() & std::filesystem::perms::all,
                      std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
                << suffix;
        }
    }
    std::filesystem::remove_all(dir);
}

// A restore under a running server: the copy is brought to this version's tables before it
// replaces anything, carries its own audit row, and the server's open connections go on serving.
class Restore : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-restore-XXXXXX";
        dir_ = mkdtemp(tmpl);
        live_ = dir_ + "/live.sqlite";
        storage_ = openStorage(live_);
        ASSERT_EQ(storage_->store(testpg::samplePlay("now", 50, 4, "H")), Storage::Outcome::Stored);
        openModeration(live_)->setBanned("now", true, "ops");
    }
    void TearDown() override {
        storage_.reset();
        std::filesystem::remove_all(dir_);
    }
    std::string names(std::int32_t version) {
        std::string out;
        for (const Storage::Entry& e : storage_->ranking(version)) out += e.name + " ";
        return out;
    }
    // A copy of the database written before the tables had versions: no audit table, no bans,
    // owners or charts (the file in the sources is never opened itself: SQLite would write beside it).
    std::string oldBackup() {
        const std::string path = dir_ + "/old.sqlite";
        std::filesystem::copy_file(NIMBULON_SOURCE_DIR "/server/tests/data/ranking-before-versions.sqlite", path,
                                   std::filesystem::copy_options::overwrite_existing);
        return path;
    }
    std::string dir_, live_;
    std::unique_ptr<Storage> storage_;
};

TEST_F(Restore, AnOldBackupIsUpgradedFirstAndTheRunningServerServesIt) {
    const Moderation::AuditEntry row = sqlitebackup::restore(oldBackup(), live_, "ops");
    EXPECT_EQ(row.action, "restore");
    EXPECT_EQ(row.actor, "ops");
    // The server's connections, opened before, read the restored tables at once.
    EXPECT_EQ(names(106), "bob alice ");
    const std::vector<Storage::Entry> listed = storage_->ranking(107);
    ASSERT_EQ(listed.size(), 1u);
    ASSERT_TRUE(storage_->play(listed[0].id)) << "the columns the server reads are there";
    EXPECT_EQ(storage_->play(listed[0].id)->name, "carol");
    const std::vector<Moderation::AuditEntry> audit = openModeration(live_)->audit();
    ASSERT_FALSE(audit.empty());
    EXPECT_EQ(audit.back().id, row.id) << "the row is in the restored content";
    EXPECT_EQ(audit.back().action, "restore");
    EXPECT_EQ(storage_->store(testpg::samplePlay("later", 60, 4, "H")), Storage::Outcome::Stored) << "and takes uploads";
    EXPECT_FALSE(std::filesystem::exists(live_ + ".restoring"));
}

TEST_F(Restore, ACopyOfANewerSchemaOrADamagedOneChangesNothing) {
    const std::string newer = dir_ + "/newer.sqlite";
    sqlitebackup::backup(live_, newer);
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "UPDATE schema_version SET version = 999", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    try {
        sqlitebackup::restore(newer, live_, "ops");
        ADD_FAILURE() << "a newer schema was restored";
    } catch (const StorageError& e) {
        EXPECT_NE(std::string(e.what()).find("newer"), std::string::npos) << e.what();
    }
    const std::string cut = dir_ + "/cut.sqlite";
    std::filesystem::copy_file(newer, cut);
    std::filesystem::resize_file(cut, 1000);
    EXPECT_THROW(sqlitebackup::restore(cut, live_, "ops"), StorageError);
    EXPECT_EQ(openModeration(live_)->playCount(), 1) << "the live content is as it was";
    EXPECT_EQ(openModeration(live_)->audit().back().action, "ban");
    EXPECT_FALSE(std::filesystem::exists(live_ + ".restoring"));
}

TEST_F(Restore, IntoANewPathMakesAFileOfItsOwnersAlone) {
    const std::string fresh = dir_ + "/fresh.sqlite";
    bool created = false;
    sqlitebackup::restore(oldBackup(), fresh, "ops", &created);
    EXPECT_TRUE(created);
    const auto mode = std::filesystem::status(fresh).permissions() & std::filesystem::perms::all;
    EXPECT_EQ(mode, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    EXPECT_EQ(openStorage(fresh)->ranking(106).size(), 2u);
}
}  // namespace
