#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include "app/Config.h"
#include "app/Settings.h"
#include "support/RecordingLog.h"
#include "support/TestEnv.h"

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Settings, WrittenFileReadsBackTheSameAndExplainsEveryEntry) {
    TempWorkDir dir;
    Settings s;
    s.fullScreen = true;
    s.windowScale = 150;
    s.musicVolume = 30;
    s.effectVolume = 0;
    s.language = "en";
    s.confirmOnline = false;
    s.showFrameRate = false;
    s.padSwapped = true;
    s.setKeys("BUTTON1", "A,Space");
    s.keys.emplace_back("JUMP", "J");  // unknown to this program: kept
    ASSERT_TRUE(s.write("nimbulon.ini"));

    const Settings back = Settings::read("nimbulon.ini");
    EXPECT_TRUE(back.fullScreen);
    EXPECT_EQ(back.windowScale, 150);
    EXPECT_EQ(back.musicVolume, 30);
    EXPECT_EQ(back.effectVolume, 0);
    EXPECT_EQ(back.language, "en");
    EXPECT_FALSE(back.confirmOnline);
    EXPECT_FALSE(back.showFrameRate);
    EXPECT_TRUE(back.padSwapped);
    EXPECT_EQ(back.keysOf("BUTTON1"), "A,Space");
    EXPECT_EQ(back.keys.size(), 2u);
    // The game's other readers read the same file the same way.
    EXPECT_EQ(readProfileInt("nimbulon.ini", "CONFIG", "CONFIRM_ONLINE", 1), 0);
    EXPECT_EQ(readProfileInt("nimbulon.ini", "CONFIG", "FULL_SCREEN", 0), 1);

    // Every value line is preceded by its comment.
    std::istringstream text(readAll("nimbulon.ini"));
    std::string line, previous;
    bool inConfig = false;
    while (std::getline(text, line)) {
        if (line == "[CONFIG]") inConfig = true;
        if (line == "[KEYS]") inConfig = false;
        if (inConfig && line.find('=') != std::string::npos) EXPECT_EQ(previous.rfind("; ", 0), 0u) << line;
        previous = line;
    }
}

TEST(Settings, AMissingFileGivesTheDefaultsAndOddValuesAreBroughtIntoRange) {
    TempWorkDir dir;
    const Settings missing = Settings::read("none.ini");
    EXPECT_FALSE(missing.fullScreen);
    EXPECT_EQ(missing.windowScale, 0);
    EXPECT_EQ(missing.musicVolume, 100);
    EXPECT_TRUE(missing.confirmOnline);
    EXPECT_TRUE(missing.showFrameRate);  // the frame-rate line shows unless the player hides it
    EXPECT_TRUE(missing.keys.empty());

    std::ofstream("odd.ini") << "[config]\nmusic_volume=250\nSE_VOLUME=-5\nLANGUAGE=EN\nFULL_SCREEN=2\n";
    const Settings odd = Settings::read("odd.ini");
    EXPECT_EQ(odd.musicVolume, 100);
    EXPECT_EQ(odd.effectVolume, 0);
    EXPECT_EQ(odd.language, "en");
    EXPECT_TRUE(odd.fullScreen);

    // Clearing a button's keys leaves it to its defaults: no entry is written.
    Settings s = Settings::read("odd.ini");
    s.setKeys("BUTTON2", "Q");
    s.setKeys("button2", "");
    EXPECT_EQ(s.text().find("BUTTON2="), std::string::npos);
}
TEST(Settings, EntriesTheGameCannotUseAreToldToThePlayer) {
    TempWorkDir dir;
    std::ofstream("mixed.ini") << "[CONFIG]\nMUSIC_VOLUME=loud\nSE_VOLUME=40 ; quieter\nJUMPY=1\nLANGUAGE=fr\n"
                                  "FULL_SCREEN=-1\n[KEYS]\nBUTTON1=A\n";
    const Settings s = Settings::read("mixed.ini");
    EXPECT_EQ(s.problems, (std::vector<std::string>{"MUSIC_VOLUME=loud", "JUMPY=1", "LANGUAGE=fr"}));
    EXPECT_EQ(s.musicVolume, 0);  // read as the profile functions read it
    EXPECT_EQ(s.effectVolume, 40);

    // The hub writes one line for each, after it has started.
    HeadlessPlatform platform;
    RecordingLog log;
    StillClock clock;
    EnvOptions options{false, &clock, true, false};
    options.settings = s;
    Env env(platform, &log, options);
    int told = 0;
    for (const std::string& line : log.lines)
        if (line.find("設定ファイルのこの項目はそのままでは使えません（不明な名前は無視、数でない値は0）: ") != std::string::npos) ++told;
    EXPECT_EQ(told, 3);
}
}  // namespace
