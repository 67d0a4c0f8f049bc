#include <gtest/gtest.h>
#include "app/Log.h"
#include "app/Shell.h"
#include "platform/headless/HeadlessPlatform.h"
#include "support/TestEnv.h"

namespace {
// A screen whose window cannot be made. Should the shell run its loop anyway, the first poll
// counts and closes it, so the test fails instead of hanging.
struct NoWindowScreen : HeadlessScreen {
    bool open(bool) override { return false; }
    bool pollEvent(WindowEvent& event) override {
        ++polls;
        event.kind = WindowEvent::Close;
        return true;
    }
    int polls = 0;
};

struct NoWindowPlatform : HeadlessPlatform {
    NoWindowScreen& screen() override { return noWindow; }
    NoWindowScreen noWindow;
};
}  // namespace

TEST(Shell, WithoutAWindowTheProgramEndsAtOnce) {
    TempWorkDir dir;
    NoWindowPlatform platform;
    Log log("");
    EXPECT_EQ(RunShell(platform, log, false), 0);
    EXPECT_EQ(platform.noWindow.polls, 0) << "the scene loop must not run unseen";
    EXPECT_EQ(platform.noWindow.presents, 0);
}

TEST(Shell, OpensTheWindowWithItsPanelsAndEndsOnEscape) {
    TempWorkDir dir;
    HeadlessPlatform platform;
    platform.screen().events.push_back({WindowEvent::Escape});
    Log log("");
    EXPECT_EQ(RunShell(platform, log, false), 0);
    EXPECT_TRUE(platform.screen().opened);
    EXPECT_TRUE(platform.screen().panelSet);
    EXPECT_TRUE(platform.screen().events.empty());
}
