#include <gtest/gtest.h>
#include <sys/stat.h>
#include <filesystem>
#include <fstream>
#include <map>
#include "app/CommandLine.h"
#include "app/Paths.h"
#include "app/Translation.h"

namespace {
namespace fs = std::filesystem;

EnvLookup envOf(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}
auto installedAt(const std::string& dir) {
    return [dir](const std::string& asked) { return asked == dir; };
}
}  // namespace

TEST(GamePaths, WorkingTreeInstalledAndPortableLayouts) {
    const auto env = envOf({{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/x/data"}, {"XDG_CONFIG_HOME", "/x/conf/"}});
    // No installed data beside the program: the working tree's layout, exactly as it always was.
    const GamePaths tree = resolveGamePaths("/src/nimbulon/build/nimbulon", "", env, installedAt("/usr/share/nimbulon/"));
    EXPECT_FALSE(tree.installed);
    EXPECT_EQ(tree.dataFile("title.mid"), "./data/title.mid");
    EXPECT_EQ(tree.saveFile("system.sav"), "./data/system.sav");
    EXPECT_EQ(tree.configFile("server.txt"), "./data/server.txt");
    EXPECT_EQ(tree.iniFile, "");

    const GamePaths installed = resolveGamePaths("/usr/bin/nimbulon", "", env, installedAt("/usr/bin/../share/nimbulon/"));
    EXPECT_TRUE(installed.installed);
    EXPECT_EQ(installed.dataFile("title.mid"), "/usr/bin/../share/nimbulon/title.mid");
    EXPECT_EQ(installed.saveFile("lastplay.rep"), "/x/data/nimbulon/lastplay.rep");
    EXPECT_EQ(installed.configFile("server.txt"), "/x/conf/nimbulon/server.txt");
    EXPECT_EQ(installed.iniFile, "/x/conf/nimbulon/nimbulon.ini");
    EXPECT_EQ(installed.localeDir, "/usr/bin/../share/locale/");

    // Unset or relative XDG folders fall back to the ones under $HOME.
    const GamePaths fallback = resolveGamePaths("/opt/n/bin/nimbulon", "",
                                                envOf({{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "rel/data"}}),
                                                installedAt("/opt/n/bin/../share/nimbulon/"));
    EXPECT_EQ(fallback.saveDir, "/home/ann/.local/share/nimbulon/");
    EXPECT_EQ(fallback.iniFile, "/home/ann/.config/nimbulon/nimbulon.ini");

    // --data-dir keeps everything in one folder, even for an installed program.
    const GamePaths portable = resolveGamePaths("/usr/bin/nimbulon", "/media/stick/nim", env, installedAt("/usr/bin/../share/nimbulon/"));
    EXPECT_FALSE(portable.installed);
    for (const std::string& file : {portable.dataFile("a"), portable.saveFile("a"), portable.configFile("a")})
        EXPECT_EQ(file, "/media/stick/nim/a");
    EXPECT_EQ(portable.iniFile, "/media/stick/nim/nimbulon.ini");
}

TEST(GamePaths, UserFoldersAreCreatedPrivateWithTheirParents) {
    const fs::path root = fs::temp_directory_path() / ("nimbulon_paths_" + std::to_string(getpid()));
    fs::remove_all(root);
    GamePaths paths;
    paths.saveDir = (root / "share/nimbulon/").string();
    paths.configDir = (root / "config/nimbulon/").string();
    ASSERT_TRUE(createUserFolders(paths));
    for (const std::string& dir : {paths.saveDir, paths.configDir}) {
        struct stat st {};
        ASSERT_EQ(stat(dir.c_str(), &st), 0) << dir;
        EXPECT_EQ(st.st_mode & 0777, 0700u) << dir;
    }
    EXPECT_TRUE(createUserFolders(paths)) << "existing folders are fine";

    // A file where a folder should be: reported, not ignored.
    std::ofstream(root / "blocked").put('x');
    paths.configDir = (root / "blocked/nimbulon/").string();
    std::string failed;
    EXPECT_FALSE(createUserFolders(paths, &failed));
    EXPECT_EQ(failed, paths.configDir);
    fs::remove_all(root);
}

TEST(CommandLine, OptionsAndMistakes) {
    struct Case {
        std::vector<std::string> args;
        bool exitNow;
        int status;
        std::optional<bool> fullScreen;
        std::string dataDir;
    };
    const Case cases[] = {
        {{}, false, 0, std::nullopt, ""},
        {{"--fullscreen"}, false, 0, true, ""},
        {{"--fullscreen", "--windowed"}, false, 0, false, ""},
        {{"--data-dir", "/p"}, false, 0, std::nullopt, "/p"},
        {{"--data-dir=/q", "--windowed"}, false, 0, false, "/q"},
        {{"--help"}, true, 0, std::nullopt, ""},
        {{"--version"}, true, 0, std::nullopt, ""},
        {{"--data-dir"}, true, 2, std::nullopt, ""},
        {{"--data-dir="}, true, 2, std::nullopt, ""},
        {{"--full"}, true, 2, std::nullopt, ""},
        {{"stray"}, true, 2, std::nullopt, ""},
        {{"--windowed", "-x", "--help"}, true, 2, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        const CommandLine line = parseCommandLine(c.args, "1.2.3");
        const std::string name = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(line.exitNow, c.exitNow) << name;
        EXPECT_EQ(line.exitStatus, c.status) << name;
        if (c.exitNow) {
            // Exactly one of the two outputs; an error is one line.
            EXPECT_NE(line.out.empty(), line.error.empty()) << name;
            if (c.status != 0) {
                EXPECT_EQ(std::count(line.error.begin(), line.error.end(), '\n'), 1) << name;
            }
            continue;
        }
        EXPECT_EQ(line.fullScreen, c.fullScreen) << name;
        EXPECT_EQ(line.dataDir, c.dataDir) << name;
    }
    EXPECT_EQ(parseCommandLine({"--version"}, "1.2.3").out, "nimbulon 1.2.3\n");
    EXPECT_NE(parseCommandLine({"--help"}, "1").out.find("--data-dir DIR"), std::string::npos);
}

TEST(Language, FollowsTheIniThenTheLocale) {
    struct Case {
        std::string ini;
        std::map<std::string, std::string> env;
        Language expected;
    };
    const Case cases[] = {
        {"", {}, Language::Original},
        {"", {{"LANG", "C"}}, Language::Original},
        {"", {{"LANG", "POSIX"}}, Language::Original},
        {"", {{"LANG", "C.UTF-8"}}, Language::Original},
        {"", {{"LANG", "en_GB.UTF-8"}}, Language::English},
        {"", {{"LANG", "de_DE.UTF-8"}}, Language::English},
        {"", {{"LANG", "ja_JP.UTF-8"}}, Language::Original},
        {"", {{"LANG", "ja_JP.UTF-8"}, {"LC_MESSAGES", "fr_FR.UTF-8"}}, Language::English},
        {"", {{"LANG", "en_US.UTF-8"}, {"LC_ALL", "C"}}, Language::Original},
        {"", {{"LANG", "en_US.UTF-8"}, {"LC_ALL", ""}}, Language::English},
        {"", {{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "ja:en"}}, Language::Original},
        {"", {{"LANG", "ja_JP.UTF-8"}, {"LANGUAGE", "en"}}, Language::English},
        // LANGUAGE counts only when the locale is not C, as with gettext.
        {"", {{"LANG", "C.UTF-8"}, {"LANGUAGE", "en"}}, Language::Original},
        {"en", {{"LANG", "C"}}, Language::English},
        {"JA", {{"LANG", "en_US.UTF-8"}}, Language::Original},
        {"xx", {{"LANG", "en_US.UTF-8"}}, Language::English},
    };
    for (const Case& c : cases) {
        std::string where = "ini=" + c.ini;
        for (const auto& [k, v] : c.env) where += " " + k + "=" + v;
        EXPECT_EQ(chooseLanguage(c.ini, envOf(c.env)), c.expected) << where;
    }
}

TEST(Catalogue, TheBuiltCatalogueTranslatesAndABrokenOneIsRefused) {
    const std::string mo = std::string(NIMBULON_BINARY_DIR) + "/locale/en/LC_MESSAGES/nimbulon.mo";
    Catalogue english;
    ASSERT_TRUE(english.load(mo)) << mo;
    EXPECT_STREQ(english.translate("もう一度。"), "Once more.");
    EXPECT_STREQ(english.translate("更新は失敗しました。\nランキングシステムが停止している可能性があります。"),
                 "The update failed.\nThe ranking server may be down.");
    const char* unknown = "未知の文";
    EXPECT_EQ(english.translate(unknown), unknown);
    EXPECT_EQ(english.translate(""), std::string("")) << "the header is no translation";

    // Cut short anywhere in its tables or texts (the last text ends two bytes from the end, before
    // its terminating zero), the file is refused and nothing is translated.
    std::ifstream in(mo, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const std::string cut = fs::temp_directory_path() / ("nimbulon_cut_" + std::to_string(getpid()) + ".mo");
    for (std::size_t size : {std::size_t{0}, std::size_t{3}, std::size_t{20}, bytes.size() / 2, bytes.size() - 2}) {
        std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(size));
        Catalogue broken;
        EXPECT_FALSE(broken.load(cut)) << size;
        EXPECT_TRUE(broken.empty()) << size;
    }
    fs::remove(cut);
    EXPECT_FALSE(Catalogue().load("/nonexistent/nimbulon.mo"));
}

TEST(Catalogue, TheTutorialNamesThePlayersKeyForButton2) {
    EXPECT_EQ(withButton2("Hold {button2} down.", "X"), "Hold button 2 (X) down.");
    EXPECT_EQ(withButton2("Press {button2}, {button2}.", "Left Shift"), "Press button 2 (Left Shift), button 2 (Left Shift).");
    EXPECT_EQ(withButton2("Hold {button2} down.", ""), "Hold button 2 down.");
    EXPECT_EQ(withButton2("２ボタンを押し続けると", "X"), "２ボタンを押し続けると");
}
