#include <gtest/gtest.h>
#include <memory>
#include "FormEvents.h"
#include "SceneFixture.h"
#include "app/Config.h"
#include "app/Env.h"
#include "online/MD5.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GameScore.h"
#include "online/RankingConnecter.h"
#include "support/ScriptedHttpClient.h"

namespace {


// The records scene of the first lap on a headless game whose requests are answered from a queue.
class OnlineActionsTest : public SceneFixture {
protected:
    OnlineActionsTest() {
        std::ofstream("./data/server.txt") << "127.0.0.1:8080\n/ranking\n/replay\n/upload\n";
        overrideConfigFile("./game.ini");
        EnvOptions options{false, nullptr, true, false};
        options.ranking = [this](Env* env, Log* log) { return std::make_unique<RankingConnecter>(env, log, http); };
        env = std::make_unique<Env>(platform, log.get(), options);
    }
    ~OnlineActionsTest() override {
        env.reset();
        overrideConfigFile("");
    }

    void askFirst(bool ask) { std::ofstream("./game.ini") << "[CONFIG]\nCONFIRM_ONLINE=" << (ask ? 1 : 0) << "\n"; }
    void answer(const std::string& body, long status = 200) { http.answer(body, status); }
    void typeIntoDialog(std::initializer_list<FormEvent> events) {
        for (const FormEvent& e : events) platform.formInput().events.push_back(e);
    }
    static std::string list(int entries, const std::string& ownName = "", int ownIndex = -1) {
        std::string text;
        for (int i = 0; i < entries; ++i)
            text += "rank\n" + std::to_string(i + 1) + "\nusername\n" + (i == ownIndex ? ownName : "p" + std::to_string(i)) +
                    "\nscore\n" + std::to_string(200 - i) + "\nstage\n3\nregist_date\n2026/12/10 12:00\nid\n" +
                    std::to_string(100 + i) + "\ncomment\nc" + std::to_string(i) + "\n\n";
        return text;
    }
    std::vector<std::string> boxTexts() {
        std::vector<std::string> out;
        for (const auto& b : platform.dialogs().shown) out.push_back(b.text + " / " + b.caption);
        return out;
    }
    std::vector<std::string> targets() {
        std::vector<std::string> out;
        for (const auto& r : http.requests) out.push_back(r.method + " " + r.target);
        return out;
    }
    Score bestPlay() {
        Score s(log.get());
        s.setHeader({replayVersionOf(4), 4, 30, 1, 0, 1, 1000, 60});
        InputTrace trace;
        trace.append(InputRun{59, {}});
        s.storeStage(1, trace, 0, 0);
        return s;
    }

    ScriptedHttpClient http;
    std::unique_ptr<Env> env;
};

TEST_F(OnlineActionsTest, GettingTheListAsksFirstThenRefreshesTheFileAndThePage) {
    writeText("./data/ranking_1lap_b.dat", list(3) + '\0');
    GameScore scene(env.get(), log.get(), 4);
    platform.dialogs().answers = {Dialogs::AnswerCancel};
    choose(scene, GameScore::GetRankingList);
    EXPECT_TRUE(http.requests.empty());
    EXPECT_EQ(scene.ranking().size(), 3u);

    answer(list(12));
    scene.setCursor(10 * 10000 + 12);
    choose(scene, GameScore::GetRankingList);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>(2, "インターネットに接続します / オンラインランキング")));
    EXPECT_EQ(platform.dialogs().shown[1].buttons, Dialogs::OkCancel);
    EXPECT_EQ(targets(), (std::vector<std::string>{"GET /ranking?version=106"}));
    const auto file = readFile("./data/ranking_1lap_b.dat");
    EXPECT_EQ(std::string(file.begin(), file.end()), list(12) + '\0');
    EXPECT_EQ(scene.ranking().size(), 12u);
    EXPECT_EQ(scene.pageStart(), 0);
    EXPECT_EQ(scene.menu().GetCurrent(), GameScore::ReturnToTitle);

    // A failed download, or one cut off, keeps the list downloaded last, file and page.
    askFirst(false);
    for (const bool cutOff : {false, true}) {
        SCOPED_TRACE(cutOff);
        platform.dialogs().shown.clear();
        if (cutOff) http.answer(list(5), 200, false);
        choose(scene, GameScore::GetRankingList);
        EXPECT_EQ(boxTexts().size(), 1u);
        const auto kept = readFile("./data/ranking_1lap_b.dat");
        EXPECT_EQ(std::string(kept.begin(), kept.end()), list(12) + '\0');
        EXPECT_EQ(scene.ranking().size(), 12u);
    }
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"更新は失敗しました。 / スコア送信"}));
    EXPECT_NE(logText().find("ランキングの取得に失敗。前のリストはそのまま。"), std::string::npos);
}

TEST_F(OnlineActionsTest, SendingTheBestPlayShowsTheOwnEntryOnItsPage) {
    askFirst(false);
    Score best = bestPlay();
    ASSERT_TRUE(best.save(bestPlayFileOf(4)));
    env->save.name = "old";
    env->save.password = "oldpw";
    env->save.comment = "old words";
    GameScore scene(env.get(), log.get(), 4);

    typeIntoDialog({text("ace"), key(FormEvent::Tab), text("hunter2"), key(FormEvent::Tab), text("gg 日本"),
                    key(FormEvent::Enter)});
    answer("0");
    answer(list(15, "ace", 12));  // the 13th entry
    choose(scene, GameScore::SendBestPlay);

    // The player is told the upload went through.
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"スコアを送信しました。 / スコア送信"}));
    EXPECT_EQ(targets(), (std::vector<std::string>{"POST /upload", "GET /ranking?version=106"}));
    const std::string body = http.requests[0].body;
    EXPECT_NE(body.find("name=\"name\"\r\n\r\nace\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"pass\"\r\n\r\n" + MD5::hexOf("hunter2") + "\r\n"), std::string::npos);
    EXPECT_NE(body.find("name=\"message\"\r\n\r\ngg 日本\r\n"), std::string::npos);
    const auto record = best.toBytes();
    EXPECT_NE(body.find(std::string(record.begin(), record.end())), std::string::npos);
    EXPECT_EQ(body.find("hunter2"), std::string::npos);

    EXPECT_EQ(scene.pageStart(), 10);
    EXPECT_EQ(scene.menu().GetCurrent(), 12 + GameScore::kFirstEntryId);
    SystemSave stored;
    stored.Read();
    EXPECT_EQ(stored.name, "ace");
    EXPECT_EQ(stored.password, "hunter2");
    EXPECT_EQ(stored.comment, "gg 日本");
}

TEST_F(OnlineActionsTest, EntriesAreCheckedAndTheDialogComesBackWithTheSavedValues) {
    askFirst(false);
    env->save.name = "saved";
    env->save.password = "";
    env->save.comment = "";
    env->save.Write();
    GameScore scene(env.get(), log.get(), 4);
    typeIntoDialog({
        key(FormEvent::Backspace), key(FormEvent::Tab), text("pw"), key(FormEvent::Enter),  // no name
        key(FormEvent::Enter),                     // the saved name again, but no password
        text("名前"), key(FormEvent::Tab), text("pw"), key(FormEvent::Enter),  // not ASCII
        key(FormEvent::Escape),
    });
    choose(scene, GameScore::SendBestPlay);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"お名前が入力されていません / スコア送信失敗",
                                                     "パスワードが入力されていません / スコア送信失敗",
                                                     "ユーザー名は半角英数のみです / スコア送信失敗"}));
    EXPECT_TRUE(http.requests.empty());
    SystemSave stored;
    stored.Read();
    EXPECT_EQ(stored.name, "saved");
    EXPECT_EQ(stored.password, "");

    // ASCII symbols and spaces pass.
    EXPECT_EQ(GameScore::entryProblem("a b!", "x"), nullptr);
}

TEST_F(OnlineActionsTest, WithoutAServerEachActionSaysWhereToSetOneBeforeAnyQuestion) {
    askFirst(true);
    writeText("./data/ranking_1lap_b.dat", list(3) + '\0');
    for (const char* file : {"", "\n/ranking\n/replay\n/upload\n"}) {
        std::ofstream("./data/server.txt") << file;
        for (const std::int32_t action : std::initializer_list<std::int32_t>{GameScore::GetRankingList, GameScore::SendBestPlay, GameScore::kFirstEntryId + 1}) {
            SCOPED_TRACE(std::string("action ") + std::to_string(action) + " server file \"" + file + "\"");
            platform.dialogs().shown.clear();
            platform.formInput().reads = 0;
            GameScore scene(env.get(), log.get(), 4);
            EXPECT_EQ(choose(scene, action), nullptr);
            ASSERT_EQ(platform.dialogs().shown.size(), 1u);
            const std::string told = platform.dialogs().shown[0].text;
            EXPECT_EQ(told.rfind("ランキングサーバーが設定されていません。", 0), 0u) << told;
            EXPECT_NE(told.find("server.txt"), std::string::npos) << told;
            EXPECT_EQ(platform.formInput().reads, 0);  // the entry form never opened
            EXPECT_EQ(scene.ranking().size(), 3u);
        }
    }
    EXPECT_TRUE(http.requests.empty());
}

TEST_F(OnlineActionsTest, RefusedUploadShowsTheServersAnswerAndKeepsThePage) {
    askFirst(true);
    writeText("./data/ranking_1lap_b.dat", list(3) + '\0');
    GameScore scene(env.get(), log.get(), 4);
    typeIntoDialog({text("ace"), key(FormEvent::Tab), text("wrong"), key(FormEvent::Enter)});
    answer("1");
    choose(scene, GameScore::SendBestPlay);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{
                              "インターネットに接続します / オンラインランキング",
                              "ユーザー名が既に使用されているか、パスワードが以前と違います。 / スコア送信"}));
    EXPECT_EQ(targets(), (std::vector<std::string>{"POST /upload"}));
    EXPECT_EQ(scene.ranking().size(), 3u);
}

TEST_F(OnlineActionsTest, WatchingAnEntryFetchesItsReplayAndComesBackToIt) {
    writeText("./data/ranking_1lap_b.dat", list(14) + '\0');
    GameScore scene(env.get(), log.get(), 4);
    scene.setCursor(10 * 10000 + GameScore::NextPage);

    // Not going online keeps the cursor on the entry.
    platform.dialogs().answers = {Dialogs::AnswerCancel};
    EXPECT_EQ(choose(scene, 12 + GameScore::kFirstEntryId), nullptr);
    EXPECT_EQ(scene.menu().GetCurrent(), 12 + GameScore::kFirstEntryId);
    EXPECT_EQ(boxTexts(), (std::vector<std::string>{"インターネットに接続します / リプレイ"}));

    // A reply that is not a replay: the connector's message, and the page stays.
    askFirst(false);
    platform.dialogs().shown.clear();
    answer("no such replay", 404);
    EXPECT_EQ(choose(scene, 12 + GameScore::kFirstEntryId), nullptr);
    EXPECT_EQ(boxTexts().size(), 1u);
    EXPECT_NE(logText().find("リプレイの取得失敗。"), std::string::npos);

    const auto bytes = bestPlay().toBytes();
    answer(std::string(bytes.begin(), bytes.end()));
    auto next = choose(scene, 13 + GameScore::kFirstEntryId);
    EXPECT_EQ(targets(), (std::vector<std::string>{"GET /replay?id=112", "GET /replay?id=113"}));
    auto* replay = dynamic_cast<GameMain*>(next.get());
    ASSERT_NE(replay, nullptr);
    EXPECT_NE(logText().find("リプレイの取得　index= = d"), std::string::npos);
    EXPECT_NE(logText().find("リプレイの取得完了。再生。"), std::string::npos);

    // Leaving the replay with Button3 brings the same page and entry back.
    std::unique_ptr<Game> back;
    for (int f = 0; f < 20 && !back; ++f) back = frame(*replay, {InputDevices::KeyC});
    auto* records = dynamic_cast<GameScore*>(back.get());
    ASSERT_NE(records, nullptr);
    EXPECT_EQ(records->pageStart(), 10);
    EXPECT_EQ(records->menu().GetCurrent(), 13 + GameScore::kFirstEntryId);
}

}  // namespace
