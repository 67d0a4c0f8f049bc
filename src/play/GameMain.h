#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include "app/Game.h"
#include "character/Character.h"
#include "character/CharacterString.h"
#include "combat/CharacterEnemy.h"
#include "combat/CharacterPlayer.h"
#include "play/GameDebugMenu.h"
#include "play/GameInfo.h"
#include "play/ReplayViewer.h"
#include "play/SpawnSchedule.h"
#include "records/OptionsPage.h"
#include "records/Score.h"
#include "stages/Stage.h"

// The scene in which the game is played. Each frame: replay and pause controls, the end-of-play
// and stage-clear flags, the services' tick, the bullet-size timer, the background, the stage's
// hook, the eight layers walked in their fixed order (which is also the drawing order), the
// status line and mode gauge, and last the spawn schedule, so that a spawned enemy first acts on
// the next frame. The play's input is recorded stage by stage into the record, or replayed from
// it.
class GameMain : public Game {
public:
    GameMain(Env* env, Log* log);
    ~GameMain() override;

    Game* Run() override;
    // Pictures, the play sprites, the eight effects and the five songs.
    void Load() override;
    void Unload() override {}
    bool WantsQuit() override { return false; }

    // Items, lives and the ship's place back to the start; enemies and small bullets removed.
    virtual void ResetPlay();
    // Shows a recorded play; a record of another version is refused and ends the play at once.
    virtual void PlayReplay(Score record);
    // An empty name is a normal play; an unreadable file ends the play at once, as a replay.
    virtual void PlayReplayFile(const std::string& fileName);
    virtual void SetGameMode(std::int32_t mode);
    // The object of a spawn kind, or null.
    virtual Character* CreateEnemy(std::int32_t kind);
    // Handed back to the scene that follows the play (the title's cursor).
    virtual void SetReturnValue(std::int32_t value);
    // A practice play from this stage of the mode: marked on the screen, never kept nor sent.
    void SetPractice(std::int32_t stage);
    bool practice() const { return practice_; }
    // The player a replay is shown for (an online entry's), named on the screen.
    void SetReplayName(std::string name) { viewer_.setName(std::move(name)); }
    // Builds the stage script of GameInfo::GetStage (the argument is not read) and begins it.
    virtual void StartStage(std::int32_t n);
    // The scene after the play: the title (with the record) or, for a replay, the records.
    virtual Game* EndPlay();

    // The lap's last stage is cleared, the stage has no script in this build, or no life is left:
    // the end-of-play scorer is due.
    bool PlayIsOver();

    // For the harness, tools and tests.
    GameInfo& info() { return info_; }
    CharacterPlayer& player() { return player_; }
    CharacterEnemy& enemyRoot() { return enemyRoot_; }
    Character& layer(int index);  // 0..7 in walking order: back, enemies, middle, player shots,
                                  // ship, lower bullets, upper bullets, top
    SpawnSchedule& schedule() { return schedule_; }
    Stage* stage() { return stage_.get(); }
    GameDebugMenu& pauseMenu() { return pauseMenu_; }
    bool paused() const { return paused_; }
    bool optionsOpen() const { return optionsOpen_; }
    Score& record() { return record_; }
    std::int32_t playFrames() const { return playFrames_; }
    std::int32_t frameCount() const { return frame; }
    const CharacterString& statusFps() const { return statusFps_; }
    const CharacterString& statusItems() const { return statusItems_; }
    ReplayViewer& replayViewer() { return viewer_; }

private:
    void FirstFrame();
    // A frame of a replay its watcher has paused: the devices are read, the trace stands still.
    Game* HeldReplayFrame();
    void PaceReplay();
    void ActOnPauseMenu();
    void ClearStage();
    void DrawStatus();
    void DrawModeGauge();

    GameInfo info_;
    Character backRoot_;
    CharacterPlayer player_;
    Character playerShotRoot_;
    Character middleRoot_;
    CharacterEnemy enemyRoot_;
    Character upperShotRoot_;
    Character lowerShotRoot_;
    Character topRoot_;
    CharacterString statusFps_;
    CharacterString statusItems_;
    ReplayViewer viewer_;
    GameDebugMenu pauseMenu_;
    SpawnSchedule schedule_;
    std::unique_ptr<Stage> stage_;
    Score record_;
    bool paused_ = false;
    // The options page, opened from the pause menu with the options key: no part of the play.
    OptionsPage options_;
    bool optionsOpen_ = false;
    bool RunOptions();
    std::int32_t pauseClosedAt_ = -600;
    std::int32_t playFrames_ = 0;
    std::uint32_t startTime_ = 0;
    std::int32_t returnValue_ = 0;
    // The stage whose input trace is being recorded.
    std::int32_t tracedStage_ = 1;
    bool practice_ = false;
    CharacterString practiceText_;
};
