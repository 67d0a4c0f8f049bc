#include <gtest/gtest.h>
#include <unistd.h>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include "storage/Moderation.h"
#include "http/Passwords.h"
#include "storage/RankingList.h"
#include "ServerTestSupport.h"
#include "storage/Storage.h"
#include "http/UploadLimits.h"
#include "http/UploadService.h"

namespace {
class UploadDecisions : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(passwords::init());
        low_ = new std::string(testplays::honest(ModeFirstLap, 150));
        high_ = new std::string(testplays::honest(ModeFirstLap, 500));
    }
    static void TearDownTestSuite() {
        delete low_;
        delete high_;
    }
    void SetUp() override {
        char tmpl[] = "/tmp/nimbulon-upload-XXXXXX";
        dir_ = mkdtemp(tmpl);
        storage_ = openStorage(dir_ + "/r.sqlite");
        cache_ = std::make_unique<RankingCache>(*storage_, std::chrono::hours(1));
        service_ = std::make_unique<UploadService>(*storage_, checker_, cache_.get(), 2, 8);
    }
    void TearDown() override {
        service_.reset();
        cache_.reset();
        storage_.reset();
        std::filesystem::remove_all(dir_);
    }
    UploadRequest request(const std::string& name, const std::string& digest, const std::string& replay,
                          const std::string& address = "192.0.2.1") {
        UploadFields f;
        f.name = name;
        f.pass = digest;
        f.message = "hello";
        f.replay = replay;
        f.hasName = f.hasPass = f.hasMessage = f.hasReplay = true;
        UploadCheck check = checkUpload(f);
        EXPECT_TRUE(check.ok) << check.problem;
        check.request.address = address;
        return check.request;
    }
    std::string list() { return *cache_->text(106); }

    static constexpr const char* kDigest = "0123456789abcdef0123456789abcdef";
    static std::string* low_;
    static std::string* high_;
    std::string dir_;
    ReplayChecker checker_{NIMBULON_SERVER_PROGRAM, {kDefaultMaxFrames, 20, 512}};
    std::unique_ptr<Storage> storage_;
    std::unique_ptr<RankingCache> cache_;
    std::unique_ptr<UploadService> service_;
};
std::string* UploadDecisions::low_ = nullptr;
std::string* UploadDecisions::high_ = nullptr;

TEST_F(UploadDecisions, RegisterThenTheSamePasswordOnlyAndTheListFollows) {
    ASSERT_GT(testplays::field(*high_, 2), testplays::field(*low_, 2)) << "the fixture needs two scores";
    EXPECT_EQ(service_->decide(request("abc", kDigest, *low_)).code, '0');
    EXPECT_NE(list().find("username\nabc\nscore\n" + std::to_string(testplays::field(*low_, 2)) + "\n"),
              std::string::npos)
        << list();
    EXPECT_EQ(service_->decide(request("abc", "ffffffffffffffffffffffffffffffff", *high_)).code, '1');
    EXPECT_EQ(service_->decide(request("abc", kDigest, *high_)).code, '0');
    EXPECT_NE(list().find("score\n" + std::to_string(testplays::field(*high_, 2)) + "\n"), std::string::npos);
    EXPECT_EQ(service_->decide(request("abc", kDigest, *low_)).code, '0') << "accepted; the better play stands";
    EXPECT_NE(list().find("score\n" + std::to_string(testplays::field(*high_, 2)) + "\n"), std::string::npos);
}

TEST_F(UploadDecisions, ABannedNameIsAnswered1AndAResetPasswordIsTheOnesTheOperatorGave) {
    ASSERT_EQ(service_->decide(request("abc", kDigest, *low_)).code, '0');
    auto admin = openModeration(dir_ + "/r.sqlite");
    admin->setBanned("abc", true, "ops");
    const UploadService::Reply banned = service_->decide(request("abc", kDigest, *high_));
    EXPECT_EQ(banned.code, '1');
    EXPECT_EQ(banned.detail, "banned name");
    admin->setBanned("abc", false, "ops");
    const std::string given = "ffffffffffffffffffffffffffffffff";
    admin->resetPassword("abc", passwords::hash(given), "ops");
    EXPECT_EQ(service_->decide(request("abc", "eeeeeeeeeeeeeeeeeeeeeeeeeeeeeeee", *high_)).code, '1')
        << "the first stranger to upload does not take the name";
    EXPECT_EQ(service_->decide(request("abc", kDigest, *high_)).code, '1') << "the old one no longer works";
    EXPECT_EQ(service_->decide(request("abc", given, *high_)).code, '0') << "the owner, with the password given";
}

TEST_F(UploadDecisions, AStoredPlayIsNobodyElsesWhateverItsHeaderOrComment) {
    ASSERT_EQ(service_->decide(request("alice", kDigest, *low_)).code, '0');
    const std::string before = list();
    const struct {
        const char* what;
        std::string replay;
    } disguises[] = {
        {"as downloaded", *low_},
        {"another elapsed time", testplays::withField(*low_, 6, testplays::field(*low_, 6) + 12345)},
        {"another valid flag", testplays::withField(*low_, 5, 0)},
    };
    for (const auto& d : disguises) {
        const UploadService::Reply r = service_->decide(request("mallory", kDigest, d.replay));
        EXPECT_EQ(r.code, '2') << d.what;
        EXPECT_NE(r.detail.find("a copy of play "), std::string::npos) << d.what << ": " << r.detail;
    }
    EXPECT_FALSE(storage_->passwordHashOf("mallory"));
    const UploadService::Reply again = service_->decide(request("alice", kDigest, *low_));
    EXPECT_EQ(again.code, '0') << "the owner sending it again";
    EXPECT_EQ(list(), before) << "changes nothing";
}

TEST_F(UploadDecisions, PaddedInputIsRefusedBeforeTheCheck) {
    // One more run after the last frame: the play is the same, the file is not.
    std::string padded = *low_;
    const std::int32_t runs = [&] {
        std::int32_t v;
        std::memcpy(&v, padded.data() + 22 + 32 + 8, 4);
        return v;
    }();
    const std::int32_t more = runs + 1, run = 5 | 1 << 16;
    padded.replace(22 + 32 + 8, 4, reinterpret_cast<const char*>(&more), 4);
    padded.append(reinterpret_cast<const char*>(&run), 4);
    UploadFields f;
    f.name = "mallory";
    f.pass = kDigest;
    f.replay = padded;
    f.hasName = f.hasPass = f.hasReplay = true;
    const UploadCheck check = checkUpload(f);
    EXPECT_FALSE(check.ok);
    EXPECT_EQ(check.problem, "input runs past the play's last frame");
}

TEST_F(UploadDecisions, AnHonestPlayThroughEveryStageOfALapIsRanked) {
    // A whole first lap played by the benchmark's autopilot: five stages, each trace one run
    // longer than the polls it saw, so its input holds more polls than a one-stage play would.
    std::ifstream in(NIMBULON_SOURCE_DIR "/server/tests/data/first-lap.rep", std::ios::binary);
    const std::string lap((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(testplays::field(lap, 3), 5) << "the fixture clears every stage";
    const UploadService::Reply r = service_->decide(request("lapper", kDigest, lap));
    EXPECT_EQ(r.code, '0') << r.detail;
    EXPECT_NE(cache_->text(testplays::field(lap, 0))->find("username\nlapper\nscore\n" +
                                                          std::to_string(testplays::field(lap, 2)) + "\n"),
              std::string::npos);
}

TEST_F(UploadDecisions, ALyingReplayIsRefusedAndStoresNothingNotEvenTheName) {
    const std::string lie = testplays::withField(*low_, 2, testplays::field(*low_, 2) + 500);
    EXPECT_EQ(service_->decide(request("liar", kDigest, lie)).code, '2');
    EXPECT_FALSE(storage_->passwordHashOf("liar"));
    EXPECT_EQ(list(), "");
}

TEST_F(UploadDecisions, OnlyAnArgon2HashOfTheDigestIsStored) {
    ASSERT_EQ(service_->decide(request("abc", kDigest, *low_)).code, '0');
    const std::optional<std::string> hash = storage_->passwordHashOf("abc");
    ASSERT_TRUE(hash);
    EXPECT_EQ(hash->rfind("$argon2id$", 0), 0u) << *hash;
    EXPECT_TRUE(passwords::matches(*hash, kDigest));
    storage_.reset();  // everything on disk
    for (const auto& file : std::filesystem::directory_iterator(dir_)) {
        std::ifstream in(file.path(), std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str().find(kDigest), std::string::npos) << file.path();
    }
    storage_ = openStorage(dir_ + "/r.sqlite");
}

TEST_F(UploadDecisions, QueuedUploadsAreAnsweredOnTheWorkersAndAFullQueueRefuses) {
    UploadService small(*storage_, checker_, cache_.get(), 1, 1);
    std::mutex m;
    std::condition_variable cv;
    std::vector<char> codes;
    auto done = [&](UploadService::Reply r) {
        std::lock_guard lock(m);
        codes.push_back(r.code);
        cv.notify_all();
    };
    // Six players, six plays: one play has one owner.
    std::vector<UploadRequest> requests;
    for (int i = 0; i < 6; ++i) requests.push_back(request("p" + std::to_string(i), kDigest, testplays::honest(ModeFirstLap, 100 + 10 * i)));
    int accepted = 0;
    for (UploadRequest& r : requests) accepted += small.submit(std::move(r), done);
    EXPECT_GE(accepted, 1);
    EXPECT_LT(accepted, 6) << "one worker and a queue of one cannot take six at once";
    std::unique_lock lock(m);
    cv.wait(lock, [&] { return static_cast<int>(codes.size()) == accepted; });
    EXPECT_EQ(std::count(codes.begin(), codes.end(), '0'), accepted);
    lock.unlock();
    small.stop();
    EXPECT_FALSE(small.submit(request("late", kDigest, *low_), done)) << "a stopped service takes nothing";
}
TEST_F(UploadDecisions, AStrangersWrongPasswordsLockOnlyTheStrangerOutUntilTheHourMovesOn) {
    std::int64_t now = 0;
    UploadLimits limits({0, 0, 0, 2, 0, 100}, [&] { return now; });
    UploadService guarded(*storage_, checker_, cache_.get(), 1, 8, &limits);
    const std::string wrong = "ffffffffffffffffffffffffffffffff", stranger = "198.51.100.66";
    ASSERT_EQ(guarded.decide(request("abc", kDigest, *low_)).code, '0');
    EXPECT_EQ(guarded.decide(request("abc", wrong, *high_, stranger)).detail, "password differs");
    EXPECT_EQ(guarded.decide(request("ABC", wrong, *high_, stranger)).detail, "password differs");
    for (const std::string& pass : {wrong, std::string(kDigest)}) {
        const UploadService::Reply r = guarded.decide(request("Abc", pass, *high_, stranger));
        EXPECT_EQ(r.code, '1') << "right or wrong, the same answer";
        EXPECT_EQ(r.detail, "too many wrong passwords for the name from the address: not checked");
    }
    const UploadService::Reply owner = guarded.decide(request("abc", kDigest, *high_));
    EXPECT_EQ(owner.code, '0') << "the owner, from its own address, is not locked out: " << owner.detail;
    EXPECT_EQ(owner.detail, "stored");
    EXPECT_EQ(guarded.decide(request("xyz", kDigest, testplays::honest(ModeFirstLap, 300), stranger)).code, '0')
        << "a name of its own is not concerned";
    now += 30 * 60 * 1000;  // one guess back
    EXPECT_EQ(guarded.decide(request("abc", wrong, *low_, stranger)).detail, "password differs");
}

TEST_F(UploadDecisions, OneAddressGuessingManyNamesRunsOutOfItsOwnAllowance) {
    std::int64_t now = 0;
    UploadLimits limits({0, 0, 0, 10, 3, 100}, [&] { return now; });
    UploadService guarded(*storage_, checker_, cache_.get(), 1, 8, &limits);
    const std::string wrong = "ffffffffffffffffffffffffffffffff", guesser = "203.0.113.9";
    const std::vector<std::string> names = {"n0", "n1", "n2", "n3"};
    for (std::size_t i = 0; i < names.size(); ++i)
        ASSERT_EQ(guarded.decide(request(names[i], kDigest, testplays::honest(ModeFirstLap, 100 + 10 * int(i)))).code, '0');
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(guarded.decide(request(names[i], wrong, *high_, guesser)).detail, "password differs");
    const UploadService::Reply r = guarded.decide(request("n3", kDigest, *high_, guesser));
    EXPECT_EQ(r.code, '1') << "a name it never guessed, with its right password";
    EXPECT_EQ(r.detail, "too many wrong passwords from the address: not checked");
    EXPECT_EQ(guarded.decide(request("fresh", kDigest, *low_, guesser)).code, '0') << "a new name is no guess";
    EXPECT_EQ(guarded.decide(request("n3", kDigest, *high_, "192.0.2.7")).code, '0') << "other addresses are not concerned";
    now += 20 * 60 * 1000;  // one guess back
    EXPECT_EQ(guarded.decide(request("n2", wrong, *low_, guesser)).detail, "password differs");
    EXPECT_EQ(guarded.decide(request("n2", wrong, *low_, guesser)).detail, "too many wrong passwords from the address: not checked");
}

TEST_F(UploadDecisions, UploadsPerNameCountOnlyWithThePasswordAndNewNamesPerAddressCountRegistrations) {
    UploadLimits limits({0, 2, 1, 0, 0, 100});
    UploadService guarded(*storage_, checker_, cache_.get(), 1, 8, &limits);
    const std::string wrong = "ffffffffffffffffffffffffffffffff";
    ASSERT_EQ(guarded.decide(request("abc", kDigest, *low_, "192.0.2.1")).code, '0');
    for (int i = 0; i < 3; ++i) EXPECT_EQ(guarded.decide(request("abc", wrong, *low_)).code, '1');
    EXPECT_EQ(guarded.decide(request("abc", kDigest, *high_, "192.0.2.9")).code, '0')
        << "wrong passwords used none of the owner's uploads";
    EXPECT_EQ(guarded.decide(request("abc", kDigest, *high_)).detail, "the same play as play 2")
        << "a play sent again (its answer lost) is not counted";
    const std::string other = testplays::honest(ModeFirstLap, 300);
    const UploadService::Reply third = guarded.decide(request("abc", kDigest, other));
    EXPECT_EQ(third.code, '2');
    EXPECT_EQ(third.detail, "too many uploads of the name this hour");

    const UploadService::Reply second = guarded.decide(request("new", kDigest, other, "192.0.2.1"));
    EXPECT_EQ(second.code, '2') << "192.0.2.1 registered its one name of the day";
    EXPECT_EQ(second.detail, "too many new names from the address today");
    EXPECT_FALSE(storage_->passwordHashOf("new"));
    EXPECT_EQ(guarded.decide(request("new", kDigest, other, "192.0.2.2")).code, '0');
}
}  // namespace
