#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include "app/Clock.h"
#include "app/Env.h"
#include "app/Log.h"
#include "platform/headless/HeadlessPlatform.h"

// A temporary working folder with ./data, entered for the lifetime of the object, so that code
// writing ./data/... touches nothing of the repository.
class TempWorkDir {
public:
    TempWorkDir() {
        old_ = std::filesystem::current_path();
        char tmpl[] = "/tmp/nimbulon-test-XXXXXX";
        dir_ = mkdtemp(tmpl);
        std::filesystem::create_directories(dir_ / "data");
        std::filesystem::current_path(dir_);
    }
    ~TempWorkDir() {
        std::filesystem::current_path(old_);
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path& path() const { return dir_; }

private:
    std::filesystem::path old_;
    std::filesystem::path dir_;
};

// A clock that never moves: the frame timer of a test then never finds a frame late, so no
// frame's drawing is skipped however slowly a loaded machine runs the test.
class StillClock : public MsClock {
public:
    std::uint32_t now() override { return 0; }
    void sleep(std::uint32_t) override {}
};

// A headless service hub that never sleeps, never skips drawing and has no audio device.
struct HeadlessEnv {
    HeadlessPlatform platform;
    Log log{""};
    StillClock clock;
    Env env{platform, &log, EnvOptions{false, &clock, true, false}};
};
