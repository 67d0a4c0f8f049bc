#include <gtest/gtest.h>
#include <fstream>
#include <sstream>
#include "app/Log.h"
#include "support/TestEnv.h"

namespace {
std::string readAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
}  // namespace

TEST(Log, LineFormatAndBracketLines) {
    TempWorkDir dir;
    Log::setClock([] { return 0xABCu; });
    {
        Log log;
        log.Write("Draw", 24, "画像環境の初期化");
        log.Write("Unit", 1234567, "long line");
        log.WriteValue("Sound", 7, "name", 255);
        log.WriteValue("Sound", 8, "neg", -1);
    }
    Log::setClock(nullptr);
    std::istringstream lines(readAll("./data/log.txt"));
    std::string line;
    std::vector<std::string> all;
    while (std::getline(lines, line)) all.push_back(line);
    ASSERT_EQ(all.size(), 6u);
    EXPECT_NE(all[0].find("(") , std::string::npos);
    EXPECT_EQ(all[0].substr(all[0].find(") - ")), ") - 00000abc : ########## constract log ##########");
    EXPECT_EQ(all[1], "Draw(000024) - 00000abc : 画像環境の初期化");
    EXPECT_EQ(all[2], "Unit(1234567) - 00000abc : long line");
    EXPECT_EQ(all[3], "Sound(000007) - 00000abc : name = ff");
    EXPECT_EQ(all[4], "Sound(000008) - 00000abc : neg = ffffffff");
    EXPECT_EQ(all[5].substr(all[5].find(") - ")), ") - 00000abc : ##########  destract log ##########");
}

TEST(Log, EachRunStartsAFreshFileAndMissingFolderDropsLines) {
    TempWorkDir dir;
    { Log first; first.Write("A", 1, "first run"); }
    { Log second; }
    EXPECT_EQ(readAll("./data/log.txt").find("first run"), std::string::npos);
    std::filesystem::remove_all("./data");
    { Log none; none.Write("A", 1, "dropped"); }
    EXPECT_FALSE(std::filesystem::exists("./data/log.txt"));
}
