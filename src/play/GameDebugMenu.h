#pragma once
#include <cstdint>
#include "app/Game.h"
#include "character/CharacterMenu.h"
#include "character/CharacterString.h"

// The menu of a paused play. The play scene holds one, opens it on Button3 and runs it in place
// of the play until IsDone; then it reads the two decisions and closes it. The second-lap modes
// (3 and 5) also offer a stage select.
class GameDebugMenu : public Game {
public:
    // Main menu ids.
    static constexpr std::int32_t kReturnToPlaying = 1;
    static constexpr std::int32_t kReturnToTitle = 2;
    static constexpr std::int32_t kStageSelect = 3;

    GameDebugMenu(Env* env, Log* log);

    // One frame of the open menu: walk the menus, tick the services, clear the playfield.
    Game* Run() override;
    virtual bool IsDone() { return done_; }

    // Rebuilds the entries for a game mode; the cursor starts on the first entry of each menu.
    void Open(std::int32_t gameMode);
    void Reset();

    std::int32_t mainDecided() { return mainMenu_.GetDecided(); }
    std::int32_t stageDecided() { return stageMenu_.GetDecided(); }
    void setShowReplayText(bool show) { showReplayText_ = show; }

    CharacterMenu& mainMenu() { return mainMenu_; }
    CharacterMenu& stageMenu() { return stageMenu_; }

private:
    CharacterMenu mainMenu_;
    CharacterMenu stageMenu_;
    bool done_ = false;
    CharacterString replayText_;
    bool showReplayText_ = false;
    CharacterString optionsText_;  // how to open the options page (the live-only options key)
};
