#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <vector>
#include "app/Config.h"
#include "app/Log.h"
#include "app/SystemSave.h"
#include "support/TestEnv.h"

namespace {
void writeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}
std::vector<unsigned char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::vector<unsigned char> word(std::int32_t v) {
    auto u = static_cast<std::uint32_t>(v);
    return {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u >> 16),
            static_cast<unsigned char>(u >> 24)};
}
std::vector<unsigned char> concat(std::initializer_list<std::vector<unsigned char>> parts) {
    std::vector<unsigned char> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
}  // namespace

TEST(Config, ProfileIntegerSemantics) {
    TempWorkDir dir;
    std::ofstream("game.ini") << "; comment\n[Other]\nFULL_SCREEN=7\n[config]\n  full_screen = 2 \nCONFIRM_ONLINE=abc\nNEG=-12x\n";
    struct Case { const char* section; const char* key; int def; int expected; } cases[] = {
        {"CONFIG", "FULL_SCREEN", 0, 2},      // section and key names ignore case; blanks trimmed
        {"CONFIG", "CONFIRM_ONLINE", 1, 0},   // a value that is not a number reads as 0
        {"CONFIG", "NEG", 0, -12},            // leading digits only
        {"CONFIG", "MISSING", 5, 5},          // missing key: default
        {"NOSECTION", "FULL_SCREEN", 3, 3},   // missing section: default
    };
    for (const auto& c : cases) EXPECT_EQ(readProfileInt("game.ini", c.section, c.key, c.def), c.expected) << c.key;
    EXPECT_EQ(readProfileInt("missing.ini", "CONFIG", "FULL_SCREEN", 9), 9);
}

TEST(Config, FileIsBesideTheProgram) {
    const std::string path = configFilePath();
    EXPECT_EQ(path.substr(path.size() - 4), ".ini");
    EXPECT_EQ(std::filesystem::path(path).parent_path(), std::filesystem::canonical("/proc/self/exe").parent_path());
}

TEST(SystemSave, WritesTheExactRecordAndReadsItBack) {
    TempWorkDir dir;
    SystemSave save;
    save.shortCourseCleared = true;
    save.name = "ab";
    save.comment = "xyz";
    save.Write();
    const auto expected = concat({word(0), word(12345), word(0), word(2), {'a', 'b'}, word(0), word(3), {'x', 'y', 'z'}});
    EXPECT_EQ(readFile("./data/system.sav"), expected);
    EXPECT_FALSE(std::filesystem::exists("./data/system.sav.tmp"));

    SystemSave again;
    EXPECT_FALSE(again.tutorialCleared);
    EXPECT_TRUE(again.shortCourseCleared);
    EXPECT_FALSE(again.fullCourseCleared);
    EXPECT_EQ(again.name, "ab");
    EXPECT_EQ(again.password, "");
    EXPECT_EQ(again.comment, "xyz");
}

TEST(SystemSave, FlagsNeedTheirExactMarks) {
    TempWorkDir dir;
    writeFile("./data/system.sav", concat({word(1), word(1), word(999)}));
    SystemSave save;
    EXPECT_TRUE(save.tutorialCleared);
    EXPECT_FALSE(save.shortCourseCleared);  // only 12345 counts
    EXPECT_TRUE(save.fullCourseCleared);
    EXPECT_EQ(save.name, "");  // short file: the rest stays empty
}

TEST(SystemSave, HostileLengthsAndZeroBytes) {
    TempWorkDir dir;
    // A text with a zero byte is cut there; a length beyond the file takes what is there.
    writeFile("./data/system.sav",
              concat({word(0), word(0), word(0), word(3), {'a', 0, 'b'}, word(0x7FFFFFFF), {'p', 'w'}}));
    SystemSave save;
    EXPECT_EQ(save.name, "a");
    EXPECT_EQ(save.password, "pw");
    EXPECT_EQ(save.comment, "");
}

// Whatever the file holds, the fields read as far as they go; a file that is not a whole record as
// the game writes it (cut short, a negative length, bytes after the record) is logged as damaged,
// once.
TEST(SystemSave, ADamagedFileIsLoggedAndReadAsFarAsItGoes) {
    const std::vector<unsigned char> whole = concat({word(0), word(12345), word(0), word(2), {'a', 'b'}, word(0), word(0)});
    struct Case {
        const char* what;
        std::vector<unsigned char> bytes;
        bool damaged;
        const char* name;
    } cases[] = {
        {"whole", whole, false, "ab"},
        {"cut in the name", concat({word(0), word(12345), word(0), word(2), {'a'}}), true, "a"},
        {"negative length", concat({word(0), word(12345), word(0), word(-5), word(0), word(0)}), true, ""},
        {"a byte after the record", concat({whole, {'x'}}), true, "ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempWorkDir dir;
        writeFile("./data/system.sav", c.bytes);
        {
            Log log("log.txt");
            SystemSave save("./data/system.sav", &log);
            EXPECT_TRUE(save.shortCourseCleared);
            EXPECT_EQ(save.name, c.name);
        }
        std::ifstream in("log.txt");
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::size_t lines = 0;
        for (std::size_t at = text.find("システムセーブが壊れている"); at != std::string::npos;
             at = text.find("システムセーブが壊れている", at + 1))
            ++lines;
        EXPECT_EQ(lines, c.damaged ? 1u : 0u);
    }
}

TEST(SystemSave, MissingDataFolderFailsSilently) {
    TempWorkDir dir;
    std::filesystem::remove_all("./data");
    SystemSave save;
    save.tutorialCleared = true;
    save.Write();
    EXPECT_FALSE(std::filesystem::exists("./data"));
}

TEST(Config, SectionEntriesComeInFileOrderTrimmed) {
    TempWorkDir dir;
    std::ofstream("game.ini") << "[CONFIG]\nMUSIC_VOLUME=40\n[keys]\n BUTTON1 = Z, Space \n; BUTTON2=Q\nnoise\nUP=Keypad 8\n"
                                 "[KEYS2]\nDOWN=S\n[Keys]\nLEFT=A\n";
    using Entries = std::vector<std::pair<std::string, std::string>>;
    // The section's name ignores case; a second block of the same section adds to the first.
    EXPECT_EQ(readProfileSection("game.ini", "KEYS"),
              (Entries{{"BUTTON1", "Z, Space"}, {"UP", "Keypad 8"}, {"LEFT", "A"}}));
    EXPECT_TRUE(readProfileSection("game.ini", "MISSING").empty());
    EXPECT_TRUE(readProfileSection("missing.ini", "KEYS").empty());
    EXPECT_EQ(readProfileInt("game.ini", "CONFIG", "MUSIC_VOLUME", 100), 40);
}

TEST(Config, TheHubAppliesKeysAndVolumesFromTheSettings) {
    // Music that remembers the volume it was given.
    struct LoudnessMusic : SilentMusic {
        int* volume;
        explicit LoudnessMusic(int* v) : volume(v) {}
        void setVolume(int percent) override { *volume = percent; }
    };
    int musicVolume = -1;
    HeadlessPlatform platform;
    Log log{""};
    EnvOptions options{false, nullptr, true, false};
    options.musicVolume = 30;
    options.keys = {{"BUTTON1", "A"}};
    options.music = [&musicVolume](Log*, Mixer*) { return std::make_unique<LoudnessMusic>(&musicVolume); };
    Env env(platform, &log, options);
    EXPECT_EQ(musicVolume, 30);
    platform.inputDevices().keys[platform.inputDevices().keyCode("A")] = true;
    env.input.update();
    EXPECT_TRUE(env.input.isDown(Button1));
}
