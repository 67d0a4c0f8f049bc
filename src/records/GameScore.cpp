#include "records/GameScore.h"
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>
#include "app/Config.h"
#include "app/Env.h"
#include "app/AtomicFile.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "character/CharacterString.h"
#include "character/GameFont.h"
#include "graphics/ImageLoader.h"
#include "online/MD5.h"
#include "platform/Platform.h"
#include "play/GameMain.h"
#include "records/EntryDialog.h"
#include "records/GameMode.h"
#include "records/GameTitle.h"

namespace {
constexpr const char* kSource = "GameScore";
constexpr const char* kGoingOnline = N_("インターネットに接続します");
constexpr const char* kSendFailedCaption = N_("スコア送信失敗");
constexpr const char* kNoServer = N_("ランキングサーバーが設定されていません。設定するファイル: ");
constexpr const char* kSent = N_("スコアを送信しました。");
constexpr int kBackgroundSurface = 3;

const char* headingOf(std::int32_t mode) {
    switch (mode) {
        case ModeFirstLapOld: return "SCORES OF FIRST LAP [OLD]";
        case ModeSecondLapOld: return "SCORES OF SECOND LAP [OLD]";
        case ModeFirstLap: return "SCORES OF FIRST LAP";
        case ModeSecondLap: return "SCORES OF SECOND LAP";
        default: return "?";
    }
}

// The title's records entry of each mode, so "return to the title" lands where we came from.
std::int32_t titleEntryOf(std::int32_t mode) {
    switch (mode) {
        case ModeFirstLapOld: return 4;
        case ModeSecondLapOld: return 6;
        case ModeFirstLap: return 8;
        case ModeSecondLap: return 10;
        default: return 0;
    }
}

// "   1st", "   2nd", "   3rd", "   4th"; by the last digit alone, so 11 reads "  11st".
std::string rankText(int rank) {
    static const char* const kFormats[10] = {"%4dth", "%4dst", "%4dnd", "%4drd", "%4dth",
                                             "%4dth", "%4dth", "%4dth", "%4dth", "%4dth"};
    const int digit = rank % 10;
    char text[32];
    std::snprintf(text, sizeof text, kFormats[digit >= 0 ? digit : 0], rank);
    return text;
}

std::string formatted(const char* format, int value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

int numberOf(const RankingRecord& record, const char* key) {
    const auto it = record.find(key);
    return it == record.end() ? 0 : std::atoi(it->second.c_str());
}

std::string textOf(const RankingRecord& record, const char* key) {
    const auto it = record.find(key);
    return it == record.end() ? std::string() : it->second;
}

struct PlainText {
    std::int32_t x, y;
    const char* text;
};
constexpr PlainText kRecordsHead = {90, 140, "your records"};
constexpr PlainText kRankingHead = {90, 210, "the Internet ranking"};
constexpr PlainText kColumnHeads[] = {
    {110, 280, "RANK"}, {170, 280, "NAME"}, {250, 280, "SCORE"}, {300, 280, "STAGE"}, {350, 280, "DATE"},
};
}  // namespace

GameScore::GameScore(Env* env, Log* log, std::int32_t mode)
    : Game(env, log),
      menu_(env, log),
      pageTexts_(env, log),
      mode_(mode),
      lastPlay_(log),
      bestPlay_(log),
      ranking_(log) {
    lastPlay_.load(lastPlayFileOf(mode));
    bestPlay_.load(bestPlayFileOf(mode));
    ranking_.load(rankingFileOf(mode));
    buildPage();
}

GameScore::~GameScore() = default;

void GameScore::Load() {
    started = true;
    Draw& draw = env->draw;
    ImageLoader loader(log);
    // The same font and background as the title; the cursor sprites and the music are still the
    // title's.
    LoadGameFont(draw, loader);
    loader.Load(109, &draw, kBackgroundSurface);
    for (int i = 0; i < 3; ++i) draw.DefineSprite(SpriteDef::cell(kBackgroundSurface, 0, 600 * i, 480, 600), 768 + i);
    env->sound.load(gamePaths().dataFile("se_click.wav"), Click);
}

void GameScore::addText(std::int32_t x, std::int32_t y, const std::string& text) {
    auto* item = new CharacterString(env, log);
    item->SetText(text);
    item->SetPosition(toFixed(x), toFixed(y));
    pageTexts_.AddChildren(item);
}

void GameScore::addEntry(std::int32_t x, std::int32_t y, const std::string& text, std::int32_t id) {
    auto* item = new CharacterString(env, log);
    item->SetText(text);
    item->SetPosition(toFixed(x), toFixed(y));
    menu_.AddItem(item, id);
}

void GameScore::buildPage() {
    pageTexts_.ClearChildren();
    menu_.ClearItems();

    addText(60, 80, headingOf(mode_));
    addEntry(100, 110, "return to the title", ReturnToTitle);
    addText(kRecordsHead.x, kRecordsHead.y, kRecordsHead.text);
    addEntry(110, 160, "last play", WatchLastPlay);
    addEntry(110, 180, "best play", WatchBestPlay);
    addText(kRankingHead.x, kRankingHead.y, kRankingHead.text);
    addEntry(100, 230, "send the best play", SendBestPlay);
    addEntry(100, 250, "get the ranking list", GetRankingList);
    addPlaySummary(110, 160, lastPlay_.getHeader());
    addPlaySummary(110, 180, bestPlay_.getHeader());
    for (const PlainText& head : kColumnHeads) addText(head.x, head.y, head.text);

    const auto count = static_cast<std::int32_t>(ranking_.size());
    for (std::int32_t i = pageStart_; i < pageStart_ + pageSize_ && i < count; ++i) {
        const RankingRecord& record = ranking_[static_cast<std::size_t>(i)];
        const std::int32_t y = 300 + 18 * (i - pageStart_);
        addEntry(110, y, rankText(numberOf(record, "rank")), i + kFirstEntryId);
        addRankingRow(110, y, record);
    }

    addEntry(100, 480, "prev", PreviousPage);
    addEntry(100, 500, "next", NextPage);
}

void GameScore::setCursor(std::int32_t value) {
    pageStart_ = value / 10000;
    buildPage();
    menu_.SetCurrent(value % 10000);
}

void GameScore::addPlaySummary(std::int32_t x, std::int32_t y, const ScoreHeader& h) {
    addText(x + 100, y, formatted("SCORE:%4d", h.score));
    addText(x + 200, y, h.stages > lastStageOf(h.gameMode) ? std::string("STAGE:ALL") : formatted("STAGE:  %d", h.stages));
}

void GameScore::addRankingRow(std::int32_t x, std::int32_t y, const RankingRecord& record) {
    addText(x + 60, y, textOf(record, "username"));
    addText(x + 140, y, formatted("%4d", numberOf(record, "score")));
    const int stage = numberOf(record, "stage");
    if (stage > lastStageOf(mode_))
        addText(x + 190, y, "ALL");
    else
        addText(x + 206, y, formatted("%d", stage));
    addText(x + 240, y, textOf(record, "regist_date"));
}

bool GameScore::confirmOnline(const char* caption) {
    if (ReadConfigInt("CONFIG", "CONFIRM_ONLINE", 1) == 0) return true;
    return env->dialogs().messageBox(kGoingOnline, caption, Dialogs::OkCancel) == Dialogs::AnswerOk;
}

std::unique_ptr<RankingClient> GameScore::connect(const char* caption) {
    std::unique_ptr<RankingClient> client = env->makeRankingClient(log);
    // A program without a network reports it as the connector does a server it cannot reach.
    if (!client) {
        env->dialogs().messageBox(N_("接続は失敗しました"), caption, Dialogs::Ok);
        return nullptr;
    }
    const std::string where = client->serverFile();
    if (!where.empty()) {
        LOG_WRITE(log, kSource, "ランキングサーバーが設定されていない: " + where);
        env->dialogs().messageBox(std::string(tr(kNoServer)) + where, caption, Dialogs::Ok);
        return nullptr;
    }
    return client;
}

void GameScore::refreshRanking(RankingClient& connecter) {
    const std::string file = rankingFileOf(mode_);
    // The list replaces the file only once all of it has come: a failed download keeps the list
    // downloaded last (the connector has told the player), instead of leaving an empty one.
    std::ostringstream list;
    if (connecter.updateRanking(list, replayVersionOf(mode_))) {
        const std::string text = list.str();
        if (!writeFileAtomically(file, std::vector<unsigned char>(text.begin(), text.end())))
            LOG_WRITE(log, kSource, "ランキングファイルの書き出しに失敗。前のリストはそのまま。ファイル名：" + file);
    } else {
        LOG_WRITE(log, kSource, "ランキングの取得に失敗。前のリストはそのまま。ファイル名：" + file);
    }
    ranking_.load(file);
}

void GameScore::downloadRanking() {
    if (auto connecter = connect(N_("ランキング更新"))) {
        if (confirmOnline(N_("オンラインランキング"))) {
            refreshRanking(*connecter);
            pageStart_ = 0;
            buildPage();
        }
    }
    // The game stood still while the boxes and the request ran; the frame timer must not try to
    // catch up on that time.
    env->timer.Reset();
}

const char* GameScore::entryProblem(const std::string& name, const std::string& password) {
    if (name.empty()) return N_("お名前が入力されていません");
    if (password.empty()) return N_("パスワードが入力されていません");
    for (unsigned char c : name)
        if (c >= 0x80) return N_("ユーザー名は半角英数のみです");
    return nullptr;
}

void GameScore::sendBestPlay() {
    if (auto connecter = connect(N_("スコア送信")))
        if (confirmOnline(N_("オンラインランキング"))) sendBestPlayWithEntries(*connecter);
    env->timer.Reset();
}

void GameScore::sendBestPlayWithEntries(RankingClient& connecter) {
    SystemSave& save = env->save;
    EntryDialog dialog(env);
    for (;;) {
        // Every round offers what was saved last, not what was just refused.
        dialog.name = save.name;
        dialog.password = save.password;
        dialog.comment = save.comment;
        if (!dialog.show()) return;
        const char* problem = entryProblem(dialog.name, dialog.password);
        if (problem == nullptr) break;
        env->dialogs().messageBox(problem, kSendFailedCaption, Dialogs::Ok);
    }
    save.name = dialog.name;
    save.password = dialog.password;
    save.comment = dialog.comment;
    save.Write();

    if (!connecter.sendPlay(bestPlay_, dialog.name, MD5::hexOf(dialog.password), dialog.comment)) return;
    LOG_WRITE(log, kSource, "スコアを送信しました。");
    refreshRanking(connecter);

    // The page of the player's own entry, with the cursor on it.
    const auto count = static_cast<std::int32_t>(ranking_.size());
    std::int32_t own = 0;
    while (own < count && ranking_.value(static_cast<std::size_t>(own), "username") != dialog.name) ++own;
    pageStart_ = own / pageSize_ * pageSize_;
    buildPage();
    if (own < count) menu_.SetCurrent(own + kFirstEntryId);
    env->dialogs().messageBox(kSent, N_("スコア送信"), Dialogs::Ok);
}

Game* GameScore::watchRankingEntry(std::int32_t index) {
    const std::int32_t current = menu_.GetCurrent();
    auto connecter = connect(N_("リプレイ取得"));
    if (!connecter || !confirmOnline(N_("リプレイ"))) {
        menu_.ResetDecided();
        menu_.SetCurrent(current);
        env->timer.Reset();
        return nullptr;
    }
    Score record(log);
    LOG_VALUE(log, kSource, "リプレイの取得　index=", index);
    connecter->fetchReplay(record, std::atoi(ranking_.value(static_cast<std::size_t>(index), "id").c_str()));
    env->timer.Reset();
    if (record.getHeader().version == 0) {
        LOG_WRITE(log, kSource, "リプレイの取得失敗。");
        menu_.ResetDecided();
        return nullptr;
    }
    LOG_WRITE(log, kSource, "リプレイの取得完了。再生。");
    env->timer.setTargetFps(60);
    env->timer.Reset();
    auto* play = new GameMain(env, log);
    play->PlayReplay(record);
    play->SetReplayName(ranking_.value(static_cast<std::size_t>(index), "username"));
    play->SetGameMode(mode_);
    play->SetReturnValue(pageStart_ * 10000 + current);
    return play;
}

Game* GameScore::watchReplay(const std::string& fileName) {
    env->timer.setTargetFps(60);
    env->timer.Reset();
    auto* play = new GameMain(env, log);
    play->PlayReplayFile(fileName);
    play->SetGameMode(mode_);
    // Handed back when the replay ends, so the same page and entry come back.
    play->SetReturnValue(pageStart_ * 10000 + menu_.GetCurrent());
    return play;
}

Game* GameScore::Run() {
    ++frame;
    if (!started) Load();
    env->Tick();
    env->draw.DrawSprite(toFixed(240), toFixed(300), env->input.isDown(Button2) ? 769 : 768);
    menu_.UpdateTree();
    pageTexts_.UpdateTree();

    const std::int32_t decided = menu_.GetDecided();
    switch (decided) {
        case ReturnToTitle: {
            auto* title = new GameTitle(env, log);
            if (const std::int32_t entry = titleEntryOf(mode_)) title->setCursor(entry);
            return title;
        }
        case WatchLastPlay: return watchReplay(lastPlayFileOf(mode_));
        case WatchBestPlay: return watchReplay(bestPlayFileOf(mode_));
        case SendBestPlay:
            menu_.ResetDecided();
            sendBestPlay();
            break;
        case GetRankingList:
            menu_.ResetDecided();
            downloadRanking();
            break;
        case PreviousPage:
            menu_.ResetDecided();
            if (pageStart_ >= pageSize_) {
                pageStart_ -= pageSize_;
                buildPage();
                menu_.SetCurrent(PreviousPage);
            }
            break;
        case NextPage:
            menu_.ResetDecided();
            if (pageStart_ + pageSize_ < static_cast<std::int32_t>(ranking_.size())) {
                pageStart_ += pageSize_;
                buildPage();
                menu_.SetCurrent(NextPage);
            }
            break;
        default:
            if (decided >= kFirstEntryId && static_cast<std::size_t>(decided - kFirstEntryId) < ranking_.size())
                if (Game* replay = watchRankingEntry(decided - kFirstEntryId)) return replay;
            break;
    }

    const std::int32_t current = menu_.GetCurrent();
    if (current >= kFirstEntryId && static_cast<std::size_t>(current - kFirstEntryId) < ranking_.size())
        env->draw.DrawText(toFixed(100), toFixed(520), textOf(ranking_[static_cast<std::size_t>(current - kFirstEntryId)], "comment").c_str());
    return nullptr;
}
