#include <gtest/gtest.h>
#include <signal.h>
#include "checks/ReplayChecker.h"
#include "checks/Resimulation.h"
#include "ServerTestSupport.h"
#include "core/UploadForm.h"

namespace {
class Resimulation : public ::testing::Test {
protected:
    static void SetUpTestSuite() { replay_ = new std::string(testplays::honest(ModeFirstLap, 400)); }
    static void TearDownTestSuite() { delete replay_; }
    static std::string* replay_;
    ReplayChecker checker{NIMBULON_SERVER_PROGRAM, {kDefaultMaxFrames, 20, 512}};
};
std::string* Resimulation::replay_ = nullptr;

TEST_F(Resimulation, AnHonestPlayMatchesInThisProcessAndInACheckProcess) {
    using testplays::field;
    for (const ResimVerdict& v : {resimulate(*replay_, kDefaultMaxFrames), checker.check(*replay_)}) {
        EXPECT_EQ(v.kind, ResimVerdict::Match) << v.detail;
        EXPECT_EQ(v.score, field(*replay_, 2));
        EXPECT_EQ(v.stages, field(*replay_, 3));
        EXPECT_EQ(v.lives, field(*replay_, 4));
        EXPECT_EQ(v.frames, field(*replay_, 7));
    }
}

TEST_F(Resimulation, AStageChosenFromThePauseMenuIsNoPlayTheGameKeepsHoweverTrueItsHeader) {
    for (std::int32_t mode : {ModeSecondLapOld, ModeSecondLap}) {
        const std::string jump = testplays::stageSelected(mode, 5);
        ASSERT_FALSE(jump.empty()) << mode;
        for (const ResimVerdict& v : {resimulate(jump, kDefaultMaxFrames), checker.check(jump)}) {
            EXPECT_EQ(v.kind, ResimVerdict::Unranked) << mode << " " << v.detail;
            EXPECT_EQ(v.stages, 5) << "played to the end in the stage it jumped to";
            EXPECT_EQ(v.score, testplays::field(jump, 2)) << "the header is the re-simulation's own";
            EXPECT_EQ(v.frames, testplays::field(jump, 7));
        }
    }
}

TEST_F(Resimulation, AHeaderThatLiesDoesNotMatchAndTheRealResultIsReported) {
    using testplays::field;
    using testplays::withField;
    const std::int32_t score = field(*replay_, 2);
    const std::string lies[] = {
        withField(*replay_, 2, score + 1000),                   // score
        withField(*replay_, 4, field(*replay_, 4) + 1),         // lives
        withField(*replay_, 7, field(*replay_, 7) + 5000),      // frames: the play ends earlier
        withField(*replay_, 7, field(*replay_, 7) - 1),         // frames: the play is still running
        testplays::withOneStageMore(*replay_),                  // stages, and nothing else
    };
    ASSERT_EQ(field(lies[4], 3), field(*replay_, 3) + 1);
    for (const std::string& lie : lies) {
        const ResimVerdict v = checker.check(lie);
        EXPECT_EQ(v.kind, ResimVerdict::Mismatch);
        EXPECT_EQ(v.score, score) << "the re-simulated score, not the claim";
        EXPECT_EQ(v.stages, field(*replay_, 3));
    }
}

TEST_F(Resimulation, TheCheckProcessIsBoundedByCpuTime) {
    // A play paused for two billion frames, with no frame bound to speak of: only the CPU limit
    // of one second stops it.
    const ReplayChecker strict(NIMBULON_SERVER_PROGRAM, {0x7FFFFFFF, 1, 512});
    const ResimVerdict v = strict.check(testplays::bomb(0x7FFFFFFF, 32000));
    EXPECT_EQ(v.kind, ResimVerdict::Failed);
    EXPECT_NE(v.detail.find("CPU"), std::string::npos) << v.detail;
}

TEST_F(Resimulation, TheCheckProcessIsBoundedByMemory) {
    // The play needs some 40 MB of address space; with 24 it cannot run and the check says so.
    const ReplayChecker tiny(NIMBULON_SERVER_PROGRAM, {kDefaultMaxFrames, 20, 24});
    const ResimVerdict v = tiny.check(*replay_);
    EXPECT_EQ(v.kind, ResimVerdict::Failed) << v.detail;
}

TEST_F(Resimulation, ACheckThatStopsReadingEarlyFailsTheCheckNotTheHost) {
    // A check that ends before taking its input leaves the server writing into a closed pipe. The
    // host here keeps SIGPIPE's default (ending the process), as a program embedding the server
    // might: the write must fail quietly and the check be reported failed.
    struct sigaction fatal {};
    fatal.sa_handler = SIG_DFL;
    struct sigaction saved {};
    sigaction(SIGPIPE, &fatal, &saved);
    const ReplayChecker quitter("/bin/true", {kDefaultMaxFrames, 20, 512});
    const ResimVerdict v = quitter.check(std::string(4 << 20, 'x'));
    sigaction(SIGPIPE, &saved, nullptr);
    EXPECT_NE(v.kind, ResimVerdict::Match);
    EXPECT_NE(v.kind, ResimVerdict::Mismatch);
}

TEST_F(Resimulation, UnreadableInputAndAMissingProgramFailCleanly) {
    EXPECT_EQ(checker.check("not a replay").kind, ResimVerdict::Unreadable);
    EXPECT_EQ(checker.check("").kind, ResimVerdict::Unreadable);
    const ReplayChecker missing("/nonexistent/nimbulon-server", {kDefaultMaxFrames, 20, 512});
    EXPECT_EQ(missing.check(*replay_).kind, ResimVerdict::Failed);
}

TEST(ResimVerdictLine, RoundTripsAndRefusesCutLines) {
    ResimVerdict v;
    v.kind = ResimVerdict::Mismatch;
    v.score = 12;
    v.stages = 3;
    v.lives = -1;
    v.frames = 4021;
    const ResimVerdict back = ResimVerdict::fromLine(v.toLine());
    EXPECT_EQ(back.kind, ResimVerdict::Mismatch);
    EXPECT_EQ(back.lives, -1);
    EXPECT_EQ(back.frames, 4021);
    EXPECT_EQ(ResimVerdict::fromLine("match 1 2").kind, ResimVerdict::Failed);
    EXPECT_EQ(ResimVerdict::fromLine("").kind, ResimVerdict::Failed);
    EXPECT_EQ(ResimVerdict::fromLine("maybe 1 2 3 4").kind, ResimVerdict::Failed);
}
}  // namespace
