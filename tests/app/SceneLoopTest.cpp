#include <gtest/gtest.h>
#include "app/Game.h"
#include "app/GameCredit.h"
#include "app/SceneLoop.h"
#include "records/GameTitle.h"
#include "support/TestEnv.h"

namespace {
struct Journal {
    int runs = 0;
    int destroyed = 0;
    bool pressSeenByNext = false;
};

// Hands over to a Receiver on its first Run, after a press of Button1 was counted.
struct Sender : Game {
    Sender(Env* env, Journal* j) : Game(env, nullptr), j(j) {}
    ~Sender() override { ++j->destroyed; }
    Game* Run() override;
    Journal* j;
};

struct Receiver : Game {
    Receiver(Env* env, Journal* j) : Game(env, nullptr), j(j) {}
    Game* Run() override {
        ++j->runs;
        if (env->input.takePress(Button1)) j->pressSeenByNext = true;
        return nullptr;
    }
    bool WantsQuit() override { return j->runs >= 3; }
    Journal* j;
};

Game* Sender::Run() {
    env->input.setButton(Button1, true);
    return new Receiver(env, j);
}
}  // namespace

TEST(SceneLoop, HandOverDestroysOldSceneAndForgetsPresses) {
    HeadlessEnv h;
    Journal j;
    SceneLoop loop(h.env, h.platform.screen(), new Sender(&h.env, &j));
    EXPECT_TRUE(loop.step());
    EXPECT_EQ(j.destroyed, 1);
    EXPECT_EQ(j.runs, 0);  // the new scene runs on the next pass
    EXPECT_EQ(loop.run(), 0);
    EXPECT_EQ(j.runs, 3);  // WantsQuit ended the loop
    EXPECT_FALSE(j.pressSeenByNext);
}

TEST(SceneLoop, WindowEventsAreHandledBetweenFrames) {
    for (auto kind : {WindowEvent::Escape, WindowEvent::Close}) {
        HeadlessEnv h;
        Journal j;
        SceneLoop loop(h.env, h.platform.screen(), new Receiver(&h.env, &j));
        h.platform.screen().events.push_back({WindowEvent::FocusLost});
        h.platform.screen().events.push_back({kind});
        EXPECT_TRUE(loop.step());
        EXPECT_FALSE(h.env.input.acquired());
        EXPECT_FALSE(loop.step());
        EXPECT_EQ(j.runs, 0);
    }
}

TEST(CreditScene, Button1SkipsToTheTitle) {
    TempWorkDir dir;
    HeadlessEnv h;
    SceneLoop loop(h.env, h.platform.screen(), new GameCredit(&h.env, &h.log));
    loop.step();
    EXPECT_EQ(dynamic_cast<GameTitle*>(loop.current()), nullptr);
    h.platform.inputDevices().keys[InputDevices::KeyZ] = true;
    loop.step();  // the tick polls the key
    loop.step();  // the pending press ends the credit
    EXPECT_NE(dynamic_cast<GameTitle*>(loop.current()), nullptr);
}

TEST(CreditScene, RunsOneHundredTwentyFrames) {
    TempWorkDir dir;
    HeadlessEnv h;
    SceneLoop loop(h.env, h.platform.screen(), new GameCredit(&h.env, &h.log));
    for (int i = 0; i < 119; ++i) loop.step();
    EXPECT_EQ(dynamic_cast<GameTitle*>(loop.current()), nullptr);
    loop.step();
    EXPECT_NE(dynamic_cast<GameTitle*>(loop.current()), nullptr);
    EXPECT_EQ(h.platform.screen().presents, 119);
}
