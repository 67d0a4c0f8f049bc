#include <gtest/gtest.h>
#include <vector>
#include "character/Character.h"
#include "play/SpawnSchedule.h"

namespace {
struct Spawn {
    std::int32_t frame;
    std::int32_t kind;
    Point at;
};

// Runs the schedule for a number of frames with a factory that builds a plain Character for
// every kind except those it is told to refuse, and notes every spawn.
struct Runner {
    explicit Runner(Script script) { schedule.script() = std::move(script); schedule.Restart(); }

    void run(int frames) {
        for (int i = 0; i < frames; ++i) {
            schedule.Run(
                [this](std::int32_t kind) -> Character* {
                    attempts.push_back({schedule.stageFrame(), kind, {}});
                    if (refuse(kind)) return nullptr;
                    return new Character(nullptr, nullptr);
                },
                &root);
        }
    }

    Character root{nullptr, nullptr};
    SpawnSchedule schedule;
    std::function<bool(std::int32_t)> refuse = [](std::int32_t) { return false; };
    std::vector<Spawn> attempts;
    std::vector<Spawn> spawns;
};

ScriptEntry at(std::int32_t delay, std::int32_t kind, int x = 0, int y = 0) {
    return {delay, 0, kind, toFixed(x), toFixed(y)};
}
}  // namespace

TEST(SpawnSchedule, DelaysAreRelativeAndZeroDelaysShareTheFrame) {
    struct Case {
        const char* name;
        Script script;
        std::vector<std::int32_t> frames;  // stage frame of each spawn, in order
    };
    const Case cases[] = {
        {"first entry waits its delay from frame 0", {at(60, 1)}, {60}},
        {"delay 0 starts in the frame before", {at(3, 1), at(0, 2), at(0, 3)}, {3, 3, 3}},
        {"5 then 0 both five frames after the previous", {at(10, 1), at(5, 2), at(0, 3)}, {10, 15, 15}},
        {"delay 1 is the next frame", {at(0, 1), at(1, 2), at(1, 3)}, {0, 1, 2}},
        {"a delay 0 first entry starts at once", {at(0, 1), at(2, 2)}, {0, 2}},
    };
    for (const Case& c : cases) {
        Runner r(c.script);
        r.schedule.setObserver([&](std::int32_t frame, const ScriptEntry& e, Character*) {
            r.spawns.push_back({frame, e.kind, {e.x, e.y}});
        });
        r.run(100);
        ASSERT_EQ(r.spawns.size(), c.frames.size()) << c.name;
        for (std::size_t i = 0; i < c.frames.size(); ++i) {
            EXPECT_EQ(r.spawns[i].frame, c.frames[i]) << c.name << " entry " << i;
            EXPECT_EQ(r.spawns[i].kind, c.script[i].kind) << c.name << " in list order";
        }
        EXPECT_TRUE(r.schedule.finished()) << c.name;
    }
}

TEST(SpawnSchedule, SpawnsJoinTheRootInOrderAtTheirPoint) {
    Runner r({at(2, 1, 30, 570), at(0, 2, 450, 30)});
    r.run(3);
    ASSERT_EQ(r.root.GetChildren().size(), 2u);
    EXPECT_EQ(r.root.GetChildren().front()->GetPosition(), (Point{toFixed(30), toFixed(570)}));
    EXPECT_EQ(r.root.GetChildren().back()->GetPosition(), (Point{toFixed(450), toFixed(30)}));
}

TEST(SpawnSchedule, AnEntryThatBuildsNothingBlocksAndIsRetriedEveryDelay) {
    Runner r({at(10, 9), at(0, 1)});
    bool allow = false;
    r.refuse = [&](std::int32_t kind) { return kind == 9 && !allow; };
    r.run(35);
    // Tried at 10, 20, 30; the entry behind it never gets its turn.
    std::vector<std::int32_t> tried;
    for (const Spawn& a : r.attempts) tried.push_back(a.frame);
    EXPECT_EQ(tried, (std::vector<std::int32_t>{10, 20, 30}));
    EXPECT_EQ(r.schedule.next(), 0u);
    EXPECT_TRUE(r.root.GetChildren().empty());

    // Once it builds, the entry behind it follows in the same frame.
    allow = true;
    r.attempts.clear();
    r.run(10);
    ASSERT_EQ(r.attempts.size(), 2u);
    EXPECT_EQ(r.attempts[0].frame, 40);
    EXPECT_EQ(r.attempts[1].frame, 40);
    EXPECT_TRUE(r.schedule.finished());
}

TEST(SpawnSchedule, RestartBeginsTheClockAndCursorAgain) {
    Runner r({at(4, 1), at(4, 2)});
    r.run(6);  // first spawned at 4, clock at 2 towards the second
    ASSERT_EQ(r.schedule.next(), 1u);
    r.schedule.script() = {at(3, 5)};
    r.schedule.Restart();
    r.attempts.clear();
    r.run(5);
    ASSERT_EQ(r.attempts.size(), 1u);
    EXPECT_EQ(r.attempts[0].frame, 3);
    EXPECT_EQ(r.attempts[0].kind, 5);
}
