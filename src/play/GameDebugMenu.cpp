#include "play/GameDebugMenu.h"
#include <cstdio>
#include "app/Env.h"
#include "app/Translation.h"

namespace {
constexpr const char* kReplayNotice = "REPLAY... press BUTTON3 to exit";

void addEntry(Env* env, Log* log, CharacterMenu& menu, const char* text, int x, int y, std::int32_t id) {
    auto* item = new CharacterString(env, log);
    item->SetText(text);
    item->SetPosition(toFixed(x), toFixed(y));
    menu.AddItem(item, id);
}
}  // namespace

GameDebugMenu::GameDebugMenu(Env* env, Log* log)
    : Game(env, log), mainMenu_(env, log), stageMenu_(env, log), replayText_(env, log), optionsText_(env, log) {
    Reset();
    showReplayText_ = false;
}

void GameDebugMenu::Reset() {
    done_ = false;
    mainMenu_.ResetDecided();
    stageMenu_.ResetDecided();
}

void GameDebugMenu::Open(std::int32_t gameMode) {
    mainMenu_.ClearItems();
    stageMenu_.ClearItems();
    replayText_.SetPosition(toFixed(140), toFixed(16));
    replayText_.SetText(kReplayNotice);
    // The options key is not one of the menu's buttons: a recorded play never holds it, so the
    // page it opens leaves the play and its replay alike.
    optionsText_.SetPosition(toFixed(100), toFixed(300));
    optionsText_.SetText("Tab / pad Back : options");
    addEntry(env, log, mainMenu_, "return to playing", 100, 100, kReturnToPlaying);
    addEntry(env, log, mainMenu_, "return to title", 100, 120, kReturnToTitle);
    // Only the second laps, which play all five stages, may jump between them.
    if (gameMode == 3 || gameMode == 5) {
        addEntry(env, log, mainMenu_, "stage select", 100, 160, kStageSelect);
        for (int s = 1; s <= 5; ++s) {
            char text[16];
            std::snprintf(text, sizeof text, tr(N_("stage%d")), s);
            addEntry(env, log, stageMenu_, text, 150, 60 + 40 * s, s);
        }
    }
}

Game* GameDebugMenu::Run() {
    if (done_) Reset();  // a decision left over from the previous opening
    // The menu acts on the buttons of the last poll, before this frame's tick, so it is drawn
    // first (on a cleared field) and shown by the tick before it waits.
    env->draw.Clear(Draw::kBackBuffer);
    if (mainMenu_.GetDecided() <= 0) mainMenu_.UpdateTree();

    switch (mainMenu_.GetDecided()) {
        case kReturnToPlaying:
        case kReturnToTitle:
            done_ = true;
            break;
        case kStageSelect:
            stageMenu_.UpdateTree();
            if (stageMenu_.GetDecided() > 0) done_ = true;
            // Cancelling the stage menu goes back to the main menu with nothing decided.
            else if (stageMenu_.GetDecided() == -1) Reset();
            break;
        default:
            break;  // nothing chosen yet, or Button2 on the main menu: the menu stays open
    }

    if (showReplayText_) replayText_.UpdateTree();
    optionsText_.UpdateTree();
    env->Tick();
    return nullptr;
}
