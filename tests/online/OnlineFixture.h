#pragma once
#include <gtest/gtest.h>
#include <fstream>
#include <memory>
#include <string>
#include <vector>
#include "app/Env.h"
#include "online/CurlHttpClient.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/GameMode.h"
#include "records/Score.h"
#include "support/RecordingLog.h"
#include "support/ScriptedHttpClient.h"
#include "support/TestEnv.h"

// A headless game in a folder of its own whose message boxes and requests are recorded; requests
// not answered from the queue go out through libcurl (to a test's loopback listener).
class OnlineFixture : public ::testing::Test {
protected:
    OnlineFixture() { http.forward = &curl; }

    void writeServerFile(const std::string& text) { std::ofstream("./data/server.txt", std::ios::binary) << text; }
    void pointAt(int port) {
        writeServerFile("127.0.0.1:" + std::to_string(port) + "\n/ranking\n/replay\n/upload\n");
    }
    const std::vector<HeadlessDialogs::Shown>& boxes() { return platform.dialogs().shown; }

    // A recorded play of mode 4 over two stages with a few runs of input.
    Score play(std::int32_t score = 42) {
        Score s(&log);
        s.setHeader({replayVersionOf(4), 4, score, 2, 1, 1, 65000, 3900});
        InputTrace trace;
        trace.append(InputRun{120, {}});
        InputRun fire{300, {}};
        fire.state[Button1] = true;
        trace.append(fire);
        s.storeStage(1, trace, 0, 0);
        s.storeStage(2, trace, 0, 0);
        return s;
    }
    static std::string bytesOf(const Score& s) {
        const auto bytes = s.toBytes();
        return std::string(bytes.begin(), bytes.end());
    }

    TempWorkDir dir;
    HeadlessPlatform platform;
    RecordingLog log;
    Env env{platform, &log, EnvOptions{false, nullptr, true, false}};
    CurlHttpClient curl;
    ScriptedHttpClient http;
};
