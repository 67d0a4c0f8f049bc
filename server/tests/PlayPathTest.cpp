#include <gtest/gtest.h>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>
#include "PathPlays.h"
#include "checks/ReplayChecker.h"
#include "checks/Resimulation.h"
#include "core/PlayInput.h"
#include "core/PlayPath.h"
#include "core/UploadForm.h"

namespace {
std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

PlayPath pathOf(const std::string& replay) {
    const ResimVerdict v = resimulate(replay, kDefaultMaxFrames);
    EXPECT_EQ(v.kind, ResimVerdict::Match) << v.detail;
    std::optional<PlayPath> p = PlayPath::decode(v.path, kDefaultMaxFrames);
    EXPECT_TRUE(p);
    return p ? *p : PlayPath{};
}

// The honest autopiloted plays of tests/data/paths, re-simulated once for every test here.
class PlayPaths : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        plays_ = new std::vector<Honest>;
        for (int n = 0; n < pathplays::kPlays; ++n) {
            char name[64];
            std::snprintf(name, sizeof name, NIMBULON_SOURCE_DIR "/server/tests/data/paths/%02d.rep", n);
            Honest h{readFile(name), {}, pathplays::plan(n)};
            h.path = pathOf(h.replay);
            plays_->push_back(std::move(h));
        }
    }
    static void TearDownTestSuite() { delete plays_; }
    struct Honest {
        std::string replay;
        PlayPath path;
        pathplays::Plan plan;
    };
    static std::vector<Honest>* plays_;
};
std::vector<PlayPaths::Honest>* PlayPaths::plays_ = nullptr;

TEST_F(PlayPaths, APathIsStoredCompactlyAndOnlyWhatEncodeWritesIsRead) {
    const PlayPath& path = plays_->at(0).path;
    ASSERT_GE(path.points.size(), static_cast<std::size_t>(PathLikeness::kMinFrames));
    const std::string bytes = path.encode();
    EXPECT_LT(bytes.size(), path.points.size() / 2) << "under half a byte a frame: " << bytes.size();
    const std::optional<PlayPath> back = PlayPath::decode(bytes, kDefaultMaxFrames);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->points, path.points);
    ASSERT_TRUE(PlayPath::fromText(path.toText(), kDefaultMaxFrames));
    EXPECT_EQ(PlayPath::fromText(path.toText(), kDefaultMaxFrames)->points, path.points);

    const struct {
        const char* what;
        std::string bytes;
        std::int64_t maxPoints;
    } broken[] = {
        {"cut short", bytes.substr(0, bytes.size() - 1), kDefaultMaxFrames},
        {"a byte after it", bytes + '\0', kDefaultMaxFrames},
        {"more frames than allowed", bytes, static_cast<std::int64_t>(path.points.size()) - 1},
        {"a run past the last frame", std::string("\x03\x00\x00\x00\x02\x02\x05\x00", 8), kDefaultMaxFrames},
        {"a run of no frames", std::string("\x03\x00\x00\x00\x02\x02\x00\x00", 8), kDefaultMaxFrames},
        {"a varint that never ends", std::string(12, '\xff'), kDefaultMaxFrames},
    };
    for (const auto& b : broken) EXPECT_FALSE(PlayPath::decode(b.bytes, b.maxPoints)) << b.what;
    EXPECT_FALSE(PlayPath::fromText("not base64!", kDefaultMaxFrames));
}

TEST_F(PlayPaths, TheCheckProcessSendsThePathItRan) {
    const ReplayChecker checker{NIMBULON_SERVER_PROGRAM, {kDefaultMaxFrames, 20, 512}};
    const ResimVerdict v = checker.check(plays_->at(0).replay);
    ASSERT_EQ(v.kind, ResimVerdict::Match) << v.detail;
    const std::optional<PlayPath> sent = PlayPath::decode(v.path, kDefaultMaxFrames);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->points, plays_->at(0).path.points);
    // The pause menu's frames at the end (the play quits through it) are no frames of play.
    EXPECT_LT(sent->points.size(), static_cast<std::size_t>(v.frames));
    EXPECT_GT(sent->points.size(), static_cast<std::size_t>(v.frames) - 40);
}

TEST_F(PlayPaths, EveryDressedCopyIsTheSamePlayThoughItsInputDiffers) {
    const Honest& original = plays_->at(0);
    const std::vector<pathplays::Dressed> copies = pathplays::dressedCopies(original.replay);
    ASSERT_EQ(copies.size(), 6u) << "the original pushes into walls and has a quiet moment";
    const std::string originalKey = playInputKey(pathplays::readRecord(original.replay), pathplays::readRecord(original.replay).getHeader().frames);
    for (const pathplays::Dressed& copy : copies) {
        SCOPED_TRACE(copy.what);
        const PlayPath path = pathOf(copy.replay);
        const PathLikeness l = PathLikeness::of(path, original.path);
        EXPECT_TRUE(l.samePlay()) << l.near << " of " << l.moving << " moving frames near, " << l.frames << " frames";
        EXPECT_TRUE(PathLikeness::of(original.path, path).samePlay()) << "either way round";
        const std::vector<std::int64_t> keys = pathKeys(path, ModeFirstLap, 106), theirs = pathKeys(original.path, ModeFirstLap, 106);
        int shared = 0;
        for (std::int64_t k : keys) shared += std::count(theirs.begin(), theirs.end(), k) > 0;
        EXPECT_GT(shared, static_cast<int>(keys.size()) / 2) << "found by its keys";
    }
    // Only splitting runs leaves the input the old rule knows; every other dressing passes it.
    for (std::size_t i = 0; i < copies.size(); ++i) {
        const std::string key = playInputKey(pathplays::readRecord(copies[i].replay), pathplays::readRecord(copies[i].replay).getHeader().frames);
        EXPECT_EQ(key == originalKey, std::string(copies[i].what).find("split") != std::string::npos) << copies[i].what;
    }
}

TEST_F(PlayPaths, HonestPlaysAreNeverTheSamePlayNotEvenWithTheSameOpening) {
    for (const Honest& h : *plays_)
        ASSERT_GE(h.path.points.size(), static_cast<std::size_t>(PathLikeness::kMinFrames)) << "long enough to be compared";
    int pairs = 0, openings = 0;
    for (std::size_t i = 0; i < plays_->size(); ++i) {
        for (std::size_t j = i + 1; j < plays_->size(); ++j) {
            const Honest &a = (*plays_)[i], &b = (*plays_)[j];
            if (a.plan.mode != b.plan.mode) continue;
            ++pairs;
            const PathLikeness l = PathLikeness::of(a.path, b.path);
            EXPECT_FALSE(l.samePlay()) << i << " and " << j << ": " << l.perMille() << " per mille";
            if (a.plan.sharesOpeningWith != static_cast<int>(j)) continue;
            ++openings;
            EXPECT_TRUE(std::equal(a.path.points.begin(), a.path.points.begin() + pathplays::kOpeningFrames, b.path.points.begin()))
                << i << " and " << j << " share their first 20 seconds exactly";
        }
    }
    EXPECT_GE(openings, 10);
    EXPECT_GE(pairs, 1000);
}
}  // namespace
