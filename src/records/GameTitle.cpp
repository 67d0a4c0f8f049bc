#include "records/GameTitle.h"
#include <cstdio>
#include "app/Env.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "character/GameFont.h"
#include "graphics/ImageLoader.h"
#include "music/BgmId.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GamePractice.h"
#include "records/GameScore.h"

namespace {
constexpr int kTitleSurface = 1;
constexpr int kBackgroundSurface = 3;

enum EntryKind { PlayEntry, RecordsEntry, ExitEntry, OptionsEntry, PracticeEntry };
constexpr const char* kOldExplained =
    N_("[old]：最初に公開された版のステージ、敵、ボスで遊びます。記録は今の版とは別に残ります。");

struct MenuEntry {
    std::int32_t id;
    const char* text;
    int x, y;
    bool needsFirstLap;  // shown only once the first lap has been cleared
    EntryKind kind;
    int gameMode;
};

// In the order they are added; hidden entries leave their gap.
constexpr MenuEntry kEntries[] = {
    {9, "play 2nd lap", 100, 300, true, PlayEntry, 5},
    {10, "score (2nd lap)", 110, 320, true, RecordsEntry, 5},
    {7, "play 1st lap", 100, 340, false, PlayEntry, 4},
    {8, "score (1st lap)", 110, 360, false, RecordsEntry, 4},
    {5, "play 2nd lap [old]", 100, 380, true, PlayEntry, 3},
    {6, "score (2nd lap [old])", 110, 400, true, RecordsEntry, 3},
    {3, "play 1st lap [old]", 100, 420, false, PlayEntry, 2},
    {4, "score (1st lap [old])", 110, 440, false, RecordsEntry, 2},
    {2, "tutorial", 100, 460, false, PlayEntry, 1},
    {1, "exit", 100, 480, false, ExitEntry, 0},
    // Below "exit", so every entry before it keeps its place.
    {11, "options", 100, 500, false, OptionsEntry, 0},
    {GameTitle::kPracticeEntry, "practice", 100, 520, false, PracticeEntry, 0},
};
}  // namespace

GameTitle::GameTitle(Env* env, Log* log)
    : Game(env, log), menu_(env, log), highScoreText_(env, log), recordText_(env, log), options_(env, log) {
    buildMenu();
    highScoreText_.SetPosition(toFixed(100), toFixed(200));
    recordText_.SetPosition(toFixed(100), toFixed(220));
}

void GameTitle::Load() {
    started = true;
    Draw& draw = env->draw;
    ImageLoader loader(log);
    LoadGameFont(draw, loader);
    for (int i = 0; i < 4; ++i) draw.DefineSprite(SpriteDef::cell(kFontSurface, i * 16, 128, 16, 16), 128 + i);
    draw.DefineSprite(SpriteDef::cell(kFontSurface, 64, 128, 64, 16), 132);
    loader.Load(112, &draw, kTitleSurface);
    draw.DefineSprite(SpriteDef::cell(kTitleSurface, 0, 0, 480, 120), 256);
    loader.Load(109, &draw, kBackgroundSurface);
    for (int i = 0; i < 3; ++i) draw.DefineSprite(SpriteDef::cell(kBackgroundSurface, 0, 600 * i, 480, 600), 768 + i);
    env->sound.load(gamePaths().dataFile("se_click.wav"), Click);
    env->bgm.load(gamePaths().dataFile("title.mid"), Title);
    env->bgm.play(Title);
}

Game* GameTitle::Run() {
    ++frame;
    if (!started) {
        Load();
        env->input.update();
        env->input.clearPresses();
    }
    env->Tick();
    if (optionsOpen_) {
        env->draw.DrawSprite(toFixed(240), toFixed(300), 768);
        if (!options_.step()) {
            optionsOpen_ = false;
            menu_.ResetDecided();
            // The play set's presses made on the page (the same keys) must not reach the menu.
            env->input.clearPresses();
        }
        return nullptr;
    }
    env->draw.DrawSprite(toFixed(240), toFixed(300), env->input.isDown(Button2) ? 769 : 768);
    env->draw.DrawSprite(toFixed(240), toFixed(100), 256);
    menu_.UpdateTree();
    highScoreText_.UpdateTree();
    recordText_.UpdateTree();
    // What "[old]" means, under the menu while the cursor is on such an entry.
    const std::int32_t current = menu_.GetCurrent();
    if (current >= 3 && current <= 6)
        env->draw.DrawTextBox(toFixed(40), toFixed(536), toFixed(440), toFixed(592), tr(kOldExplained));

    const std::int32_t decided = menu_.GetDecided();
    for (const MenuEntry& e : kEntries) {
        if (e.id != decided) continue;
        switch (e.kind) {
            case PlayEntry: return startPlay(e.gameMode);
            case RecordsEntry: return openRecords(e.gameMode);
            case PracticeEntry: return new GamePractice(env, log);
            case ExitEntry: quit_ = true; return nullptr;
            case OptionsEntry:
                menu_.ResetDecided();
                optionsOpen_ = true;
                options_.open();
                return nullptr;
        }
    }
    return nullptr;
}

Game* GameTitle::startPlay(int gameMode) {
    env->timer.setTargetFps(60);
    env->timer.Reset();
    auto* play = new GameMain(env, log);
    play->PlayReplayFile("");  // a normal play, recorded
    play->SetGameMode(gameMode);
    // The play hands it back, so the cursor returns to the entry that was used.
    play->SetReturnValue(menu_.GetCurrent());
    return play;
}

Game* GameTitle::openRecords(int gameMode) { return new GameScore(env, log, gameMode); }

void GameTitle::takeFinishedPlay(Score record) {
    const ScoreHeader h = record.getHeader();
    SystemSave& save = env->save;
    // The save is written whenever a flag is earned, even if it was earned before.
    switch (h.gameMode) {
        case ModeTutorial:
            if (h.stages >= 2) {
                save.tutorialCleared = true;
                save.Write();
            }
            buildMenu();
            return;
        case ModeFirstLapOld:
        case ModeFirstLap:
            if (h.stages >= 5) {
                save.shortCourseCleared = true;
                save.Write();
            }
            break;
        case ModeSecondLapOld:
        case ModeSecondLap:
            if (h.stages >= 6) {
                save.fullCourseCleared = true;
                save.Write();
            }
            break;
        default:
            break;
    }

    record.save(lastPlayFileOf(h.gameMode));
    Score best(log);
    best.load(bestPlayFileOf(h.gameMode));  // no file: compared against 0
    if (best.getScore() < record.getScore()) {
        record.save(bestPlayFileOf(h.gameMode));
        recordText_.SetText(tr(N_("new recored!")));
        setHighScore(record.getScore());
    }
    // An unlock may have changed the entries.
    buildMenu();
}

void GameTitle::setHighScore(std::int32_t score) {
    if (shownHighScore_ > score) return;
    char text[48];
    std::snprintf(text, sizeof text, tr(N_("your high score : %04d")), score);
    highScoreText_.SetText(text);
    shownHighScore_ = score;
}

void GameTitle::setCursor(std::int32_t id) { menu_.SetCurrent(id); }

void GameTitle::buildMenu() {
    menu_.ClearItems();
    for (const MenuEntry& e : kEntries) {
        if (e.needsFirstLap && !env->save.shortCourseCleared) continue;
        auto* item = new CharacterString(env, log);
        item->SetText(e.text);
        item->SetPosition(toFixed(e.x), toFixed(e.y));
        menu_.AddItem(item, e.id);
    }
}
