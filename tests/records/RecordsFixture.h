#pragma once
#include <gtest/gtest.h>
#include <unistd.h>
#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include "app/Log.h"
#include "input/InputTrace.h"

// Runs each test in a fresh folder with its own ./data/, since the records live at fixed paths
// under ./data/. The log of the test is kept in the folder so its lines can be checked. The folder
// is made anew for each run (named after the test, for whoever looks in /tmp), so two runs of the
// tests at once never share, or delete, each other's files.
class RecordsFixture : public ::testing::Test {
protected:
    RecordsFixture() : oldDir_(std::filesystem::current_path()) {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "records_" + std::string(info->test_suite_name()) + "_" + info->name() + "_XXXXXX";
        std::replace(name.begin(), name.end(), '/', '_');  // parameterised names carry slashes
        std::string path = (std::filesystem::path(::testing::TempDir()) / name).string();
        if (mkdtemp(path.data()) == nullptr) throw std::runtime_error("no scratch folder: " + path);
        dir_ = path;
        std::filesystem::create_directories(dir_ / "data");
        std::filesystem::current_path(dir_);
        log = std::make_unique<Log>((dir_ / "test.log").string());
    }
    ~RecordsFixture() override {
        log.reset();
        std::filesystem::current_path(oldDir_);
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    std::string logText() const {
        std::ifstream in(dir_ / "test.log");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static std::vector<unsigned char> readFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    static void writeText(const std::string& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }

    std::unique_ptr<Log> log;

private:
    std::filesystem::path oldDir_;
    std::filesystem::path dir_;
};

// Little-endian building blocks for hand-made replay files.
inline void putI32(std::vector<unsigned char>& out, std::int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(v) >> (8 * i)));
}
inline void putU16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}
inline void putMagic(std::vector<unsigned char>& out, unsigned char last = 0) {
    for (char c : std::string("NimbulonScoreFile")) out.push_back(static_cast<unsigned char>(c));
    out.push_back(last);
}

// Readable failures: a run as repeat:buttons, buttons as the letters RDLU123n.
inline void PrintTo(const InputRun& r, std::ostream* os) {
    *os << r.repeat << ":";
    for (int b = 0; b < kButtonCount; ++b)
        if (r.state[b]) *os << "RDLU123n"[b];
}
inline void PrintTo(const InputTrace& t, std::ostream* os) {
    *os << "{";
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (i) *os << " ";
        PrintTo(t[i], os);
    }
    *os << "}";
}
