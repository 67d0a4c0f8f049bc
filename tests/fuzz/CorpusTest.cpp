// Replays every kept fuzzing input (tests/fuzz/<target>/) through the same entry points as the
// fuzz targets, with the normal compiler: the inputs that once crashed, hung or leaked stay fixed,
// and CI checks the corpus without clang.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>
#include "FuzzEntries.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCorpusRoot = fs::path(NIMBULON_SOURCE_DIR) / "tests" / "fuzz";

std::vector<std::string> targetNames() {
    std::vector<std::string> names;
    for (const fuzz::Target* t = fuzz::kTargets; t->name != nullptr; ++t) names.push_back(t->name);
    return names;
}

std::vector<std::uint8_t> readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Corpus : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST_P(Corpus, EveryKeptInputIsReadSafely) {
    const fuzz::Target* target = fuzz::findTarget(GetParam());
    ASSERT_NE(target, nullptr);
    const fs::path dir = kCorpusRoot / GetParam();
    ASSERT_TRUE(fs::is_directory(dir)) << dir << ": every target keeps a seed corpus";
    int inputs = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<std::uint8_t> bytes = readAll(entry.path());
        EXPECT_EQ(target->run(bytes.data(), bytes.size()), "") << entry.path();
        ++inputs;
    }
    EXPECT_GT(inputs, 0) << dir << " is empty";
    // The empty input, which no corpus file needs to hold.
    EXPECT_EQ(target->run(nullptr, 0), "");
}

INSTANTIATE_TEST_SUITE_P(Fuzz, Corpus, ::testing::ValuesIn(targetNames()),
                         [](const auto& info) { return info.param; });

// A corpus folder without a target would never be replayed.
TEST(CorpusFolders, EachBelongsToATarget) {
    const std::vector<std::string> names = targetNames();
    const std::set<std::string> known(names.begin(), names.end());
    for (const auto& entry : fs::directory_iterator(kCorpusRoot))
        if (entry.is_directory()) {
            EXPECT_TRUE(known.count(entry.path().filename().string())) << entry.path();
        }
}
