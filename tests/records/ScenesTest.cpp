#include <gtest/gtest.h>
#include <memory>
#include <tuple>
#include "SceneFixture.h"
#include "app/Env.h"
#include "character/CharacterString.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GameScore.h"
#include "records/GameTitle.h"
#include "support/TestEnv.h"

namespace {

using Placed = std::tuple<int, int, std::string>;  // x, y, text

// The title and the records scene on a headless service hub, in a folder of their own.
class ScenesTest : public SceneFixture {
protected:
    ScenesTest() : env(std::make_unique<Env>(platform, log.get(), EnvOptions{false, &clock, true, false})) {}
    ~ScenesTest() override { env.reset(); }

    Score play(std::int32_t mode, std::int32_t score, std::int32_t stages) {
        Score s(log.get());
        s.setHeader({replayVersionOf(mode), mode, score, stages, 2, 1, 1000, 600});
        for (int i = 1; i <= stages && i <= 10; ++i) s.storeStage(i, InputTrace{}, 0, 0);
        return s;
    }
    static std::vector<Placed> placed(Character& root) {
        std::vector<Placed> out;
        for (Character* c : root.GetChildren())
            if (auto* s = dynamic_cast<CharacterString*>(c)) out.emplace_back(toPixel(s->x), toPixel(s->y), s->text());
        return out;
    }
    static bool has(const std::vector<Placed>& v, const Placed& p) { return std::find(v.begin(), v.end(), p) != v.end(); }

    void writeRanking(int entries) {
        std::string text;
        for (int i = 0; i < entries; ++i)
            text += "rank\n" + std::to_string(i + 1) + "\nusername\nu" + std::to_string(i) + "\nscore\n" +
                    std::to_string(100 - i) + "\nstage\n" + std::to_string(i % 2 ? 5 : 4) +
                    "\nregist_date\n2024-01-0" + std::to_string(i % 9 + 1) + "\ncomment\nhello " + std::to_string(i) + "\n\n";
        writeText("./data/ranking_1lap_b.dat", text + std::string(1, '\0'));
    }

    StillClock clock;
    std::unique_ptr<Env> env;
};

TEST_F(ScenesTest, FinishedPlaysAreKeptAsLastAndBestPlayWithTheProgressFlags) {
    struct Case {
        const char* name;
        std::int32_t mode, score, stages;
        int storedBest;  // -1: no best-play file yet
        bool lastWritten, bestWritten, newRecord;
        bool tutorial, shortCourse, fullCourse;
    };
    const Case cases[] = {
        {"first best play, all four stages", 4, 42, 5, -1, true, true, true, false, true, false},
        {"equal score keeps the stored best", 4, 10, 3, 10, true, false, false, false, false, false},
        {"lower score", 2, 3, 2, 10, true, false, false, false, false, false},
        {"higher score, old version", 2, 11, 2, 10, true, true, true, false, false, false},
        {"old first lap cleared", 2, 0, 5, -1, true, false, false, false, true, false},
        {"first lap lost in its last stage", 4, 5, 4, -1, true, true, true, false, false, false},
        {"second lap cleared", 5, 7, 6, 3, true, true, true, false, false, true},
        {"second lap not cleared", 3, 7, 5, 30, true, false, false, false, false, false},
        {"tutorial passed: flag only", 1, 9, 2, -1, false, false, false, true, false, false},
        {"tutorial not passed", 1, 9, 1, -1, false, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all("./data");
        std::filesystem::create_directories("./data");
        env->save = SystemSave();
        if (c.storedBest >= 0) {
            ASSERT_TRUE(play(c.mode, c.storedBest, 1).save(bestPlayFileOf(c.mode)));
        }
        const auto bestBefore = readFile(bestPlayFileOf(c.mode));

        GameTitle title(env.get(), log.get());
        const Score finished = play(c.mode, c.score, c.stages);
        title.takeFinishedPlay(finished);

        EXPECT_EQ(std::filesystem::exists(lastPlayFileOf(c.mode)), c.lastWritten);
        if (c.lastWritten) {
            EXPECT_EQ(readFile(lastPlayFileOf(c.mode)), finished.toBytes());
        }
        EXPECT_EQ(readFile(bestPlayFileOf(c.mode)), c.bestWritten ? finished.toBytes() : bestBefore);
        EXPECT_EQ(title.recordText().text(), c.newRecord ? "new recored!" : "");
        char high[64];
        std::snprintf(high, sizeof high, "your high score : %04d", c.score);
        EXPECT_EQ(title.highScoreText().text(), c.newRecord ? high : "");

        // The flags are in memory and on file.
        EXPECT_EQ(env->save.tutorialCleared, c.tutorial);
        EXPECT_EQ(env->save.shortCourseCleared, c.shortCourse);
        EXPECT_EQ(env->save.fullCourseCleared, c.fullCourse);
        const SystemSave onFile;
        EXPECT_EQ(onFile.tutorialCleared, c.tutorial);
        EXPECT_EQ(onFile.shortCourseCleared, c.shortCourse);
        EXPECT_EQ(onFile.fullCourseCleared, c.fullCourse);
        // Clearing the first lap unlocks the four second-lap entries at once.
        // (and "options" and "practice", below "exit", always)
        EXPECT_EQ(title.menu().itemCount(), c.shortCourse ? 12u : 8u);
    }
}

TEST_F(ScenesTest, HighScoreLineShowsFourDigitsAndNeverGoesDown) {
    GameTitle title(env.get(), log.get());
    title.setHighScore(42);
    EXPECT_EQ(title.highScoreText().text(), "your high score : 0042");
    title.setHighScore(7);
    EXPECT_EQ(title.highScoreText().text(), "your high score : 0042");
    title.setHighScore(12345);
    EXPECT_EQ(title.highScoreText().text(), "your high score : 12345");
}

TEST_F(ScenesTest, RecordsPageLayout) {
    ASSERT_TRUE(play(4, 42, 4).save("./data/lastplay_1lap_b.rep"));  // lost in the lap's last stage
    ASSERT_TRUE(play(4, 77, 5).save("./data/bestplay_1lap_b.rep"));
    writeRanking(3);
    GameScore scene(env.get(), log.get(), 4);

    const std::vector<Placed> menu = placed(scene.menu());
    const std::vector<Placed> expectedMenu = {
        {100, 110, "return to the title"}, {110, 160, "last play"},  {110, 180, "best play"},
        {100, 230, "send the best play"},  {100, 250, "get the ranking list"},
        {110, 300, "   1st"},              {110, 318, "   2nd"},    {110, 336, "   3rd"},
        {100, 480, "prev"},                {100, 500, "next"},
    };
    EXPECT_EQ(menu, expectedMenu);
    EXPECT_EQ(scene.menu().GetCurrent(), GameScore::ReturnToTitle);

    const std::vector<Placed> texts = placed(scene.pageTexts());
    for (const Placed& p : std::vector<Placed>{
             {60, 80, "SCORES OF FIRST LAP"}, {90, 140, "your records"}, {90, 210, "the Internet ranking"},
             {210, 160, "SCORE:  42"}, {310, 160, "STAGE:  4"}, {210, 180, "SCORE:  77"}, {310, 180, "STAGE:ALL"},
             {110, 280, "RANK"}, {170, 280, "NAME"}, {250, 280, "SCORE"}, {300, 280, "STAGE"}, {350, 280, "DATE"},
             // rows: name, score, stage ("ALL" further left), date
             {170, 300, "u0"}, {250, 300, " 100"}, {316, 300, "4"}, {350, 300, "2024-01-01"},
             {170, 318, "u1"}, {250, 318, "  99"}, {300, 318, "ALL"}, {350, 318, "2024-01-02"},
         })
        EXPECT_TRUE(has(texts, p)) << std::get<0>(p) << "," << std::get<1>(p) << " " << std::get<2>(p);

    // Without any file: zeros, the "?" heading for a mode without records.
    std::filesystem::remove_all("./data");
    GameScore empty(env.get(), log.get(), 1);
    const std::vector<Placed> none = placed(empty.pageTexts());
    for (const Placed& p : std::vector<Placed>{{60, 80, "?"}, {210, 160, "SCORE:   0"}, {310, 160, "STAGE:  0"}})
        EXPECT_TRUE(has(none, p)) << std::get<2>(p);
    EXPECT_EQ(empty.menu().itemCount(), 7u);
}

TEST_F(ScenesTest, RankTextsByTheLastDigit) {
    const std::pair<int, const char*> cases[] = {{1, "   1st"}, {2, "   2nd"}, {3, "   3rd"},  {4, "   4th"},
                                                 {11, "  11st"}, {12, "  12nd"}, {21, "  21st"}, {0, "   0th"}};
    std::string text;
    for (const auto& [rank, _] : cases) text += "rank\n" + std::to_string(rank) + "\n\n";
    writeText("./data/ranking_1lap_b.dat", text);
    GameScore scene(env.get(), log.get(), 4);
    const std::vector<Placed> menu = placed(scene.menu());
    for (std::size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(std::get<2>(menu[5 + i]), cases[i].second);
}

TEST_F(ScenesTest, PagingThroughTwentyFiveEntries) {
    writeRanking(25);
    GameScore scene(env.get(), log.get(), 4);
    auto firstEntry = [&] { return std::get<2>(placed(scene.menu())[5]); };
    auto entries = [&] { return scene.menu().itemCount() - 7; };

    EXPECT_FALSE(choose(scene, GameScore::PreviousPage));
    EXPECT_EQ(scene.pageStart(), 0);
    EXPECT_EQ(entries(), 10u);
    const int expected[][2] = {{10, 10}, {20, 5}, {20, 5}};  // a further "next" does nothing
    for (const auto& [start, count] : expected) {
        EXPECT_FALSE(choose(scene, GameScore::NextPage));
        EXPECT_EQ(scene.pageStart(), start);
        EXPECT_EQ(entries(), static_cast<std::size_t>(count));
        EXPECT_EQ(scene.menu().GetCurrent(), GameScore::NextPage);
    }
    EXPECT_EQ(firstEntry(), "  21st");
    choose(scene, GameScore::PreviousPage);
    EXPECT_EQ(scene.pageStart(), 10);
    EXPECT_EQ(scene.menu().GetCurrent(), GameScore::PreviousPage);

    std::filesystem::remove("./data/ranking_1lap_b.dat");
    GameScore empty(env.get(), log.get(), 4);
    choose(empty, GameScore::NextPage);
    EXPECT_EQ(empty.pageStart(), 0);
}

TEST_F(ScenesTest, CommentOfTheEntryUnderTheCursorIsDrawn) {
    writeRanking(12);
    GameScore scene(env.get(), log.get(), 4);
    auto& drawn = platform.textRenderer().texts;
    scene.setCursor(10 * 10000 + 12);  // second page, third entry on it
    EXPECT_EQ(scene.pageStart(), 10);
    EXPECT_EQ(scene.menu().GetCurrent(), 12);
    frame(scene);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back(), "hello 2");
    drawn.clear();
    scene.menu().SetCurrent(GameScore::PreviousPage);
    frame(scene);
    EXPECT_TRUE(drawn.empty());
}

TEST_F(ScenesTest, TheRecordsEntriesLeadBackAndForth) {
    // The title's "score (1st lap)" opens the records of mode 4...
    GameTitle title(env.get(), log.get());
    frame(title);
    title.setCursor(8);
    auto next = frame(title, {InputDevices::KeyZ});
    auto* records = dynamic_cast<GameScore*>(next.get());
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(records->mode(), 4);

    // ...and "return to the title" comes back to that entry.
    auto back = choose(*records, GameScore::ReturnToTitle);
    auto* title2 = dynamic_cast<GameTitle*>(back.get());
    ASSERT_NE(title2, nullptr);
    EXPECT_EQ(title2->menu().GetCurrent(), 8);

    // Watching a play starts the play scene as a replay; the online entries stay on the page.
    ASSERT_TRUE(play(4, 5, 1).save("./data/bestplay_1lap_b.rep"));
    GameScore scene(env.get(), log.get(), 4);
    for (std::int32_t id : {GameScore::SendBestPlay, GameScore::GetRankingList}) {
        EXPECT_FALSE(choose(scene, id));
        EXPECT_EQ(scene.menu().GetDecided(), 0);
    }
    auto replay = choose(scene, GameScore::WatchBestPlay);
    auto* game = dynamic_cast<GameMain*>(replay.get());
    ASSERT_NE(game, nullptr);
    EXPECT_TRUE(game->info().IsReplay());
    EXPECT_EQ(game->info().GetGameMode(), 4);
    EXPECT_FALSE(game->info().GetFlag(0));
}

// Last play missing, best play of another version: either replay ends at once and the records
// page comes back on the page and entry it was started from.
TEST_F(ScenesTest, AReplayThatCannotRunReturnsToItsPageAndEntry) {
    writeRanking(12);
    Score otherVersion = play(4, 5, 1);
    otherVersion.setHeader({105, 4, 5, 1, 2, 1, 1000, 600});
    ASSERT_TRUE(otherVersion.save(bestPlayFileOf(4)));

    for (std::int32_t entry : {GameScore::WatchLastPlay, GameScore::WatchBestPlay}) {
        SCOPED_TRACE(entry);
        platform.dialogs().shown.clear();
        GameScore scene(env.get(), log.get(), 4);
        scene.setCursor(10 * 10000 + entry);  // paged to the second page, then up to the entry
        auto next = choose(scene, entry);
        auto* game = dynamic_cast<GameMain*>(next.get());
        ASSERT_NE(game, nullptr);
        std::unique_ptr<Game> back;
        for (int f = 0; f < 10 && !back; ++f) back = frame(*game);
        auto* records = dynamic_cast<GameScore*>(back.get());
        ASSERT_NE(records, nullptr);
        EXPECT_EQ(records->mode(), 4);
        EXPECT_EQ(records->pageStart(), 10);
        EXPECT_EQ(records->menu().GetCurrent(), entry);
        EXPECT_EQ(placed(records->menu())[5], (Placed{110, 300, "  11st"}));
        const bool refused = entry == GameScore::WatchBestPlay;
        ASSERT_EQ(platform.dialogs().shown.size(), refused ? 1u : 0u);
        if (refused) {
            EXPECT_EQ(platform.dialogs().shown[0].text, "アプリケーションのバージョンが違うため、リプレイを再生できません。");
        }
    }
    EXPECT_NE(logText().find("スコアの読み出しに失敗。ファイル名：./data/lastplay_1lap_b.rep"), std::string::npos);
}

}  // namespace
