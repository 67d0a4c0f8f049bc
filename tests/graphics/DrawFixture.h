#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <regex>
#include <string>
#include <vector>
#include "app/Fixed16.h"
#include "app/Log.h"
#include "graphics/Draw.h"
#include "platform/headless/HeadlessPlatform.h"

// A windowed Draw on the headless platform, with helpers to paint small source surfaces and to
// read back-buffer pixels by playfield position.
class DrawFixture : public ::testing::Test {
protected:
    static constexpr std::uint32_t kMarker = 0x00ABCDEFu;  // background that shows what was left alone

    DrawFixture() : log(logPath()), draw(&platform.screen(), &platform.textRenderer(), &platform.dialogs(), &log, false) {}

    // One log file per test, so the log lines a test causes can be read back.
    static std::string logPath() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        return ::testing::TempDir() + "graphics_" + info->test_suite_name() + "_" + info->name() + ".log";
    }
    static std::string logText() {
        std::ifstream in(logPath());
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    // Creates surface index as w x h with the pixels given row by row.
    Surface& paint(int index, int w, int h, std::initializer_list<std::uint32_t> pixels) {
        EXPECT_EQ(draw.CreateSurface(w, h, index), 0);
        Surface& s = *draw.GetSurface(index);
        EXPECT_EQ(pixels.size(), s.pixels.size());
        s.pixels.assign(pixels.begin(), pixels.end());
        return s;
    }

    void fillBack(std::uint32_t v) { std::fill(draw.backBuffer().pixels.begin(), draw.backBuffer().pixels.end(), v); }
    std::uint32_t back(int column, int row) { return draw.backBuffer().at(column, row); }

    // The w x h block of the back buffer at (column, row), row by row.
    std::vector<std::uint32_t> block(int column, int row, int w, int h) {
        std::vector<std::uint32_t> out;
        for (int y = row; y < row + h; ++y)
            for (int x = column; x < column + w; ++x) out.push_back(back(x, y));
        return out;
    }

    HeadlessPlatform platform;
    Log log;
    Draw draw;
};

// The messages logged by one unit (its source name), in order, from a log file's text.
inline std::vector<std::string> logMessagesOf(const std::string& text, const std::string& source) {
    std::vector<std::string> out;
    std::string pattern = source;
    pattern += R"(\(\d{6}\) - [0-9a-f]{8} : (.*))";
    const std::regex line(pattern);
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        std::smatch m;
        if (std::regex_match(l, m, line)) out.push_back(m[1]);
    }
    return out;
}
