#pragma once
#include <cstdint>
#include "app/Fixed16.h"

class Character;
class CharacterEnemy;
class CharacterPlayer;

// Event flags through which characters and stage scripts signal the play scene.
enum PlayFlag : int {
    FlagLeavePlay = 0,      // leave the play and return to the title (or the records, for a replay)
    FlagStageCleared = 1,   // the play scene moves to the next stage
    FlagScorerCreated = 2,  // the end-of-play scorer exists
    FlagFirstBoss3Down = 3, // the first of the third stage's two bosses is destroyed
    FlagEnteredLarge = 4,   // set on entering bullet-size mode 2
    FlagEnteredSmall = 5,   // set on entering bullet-size mode 1
    FlagLifeLost = 6,       // the ship lost a life
    FlagStageSelected = 7,  // a stage was chosen from the pause menu: the play is unofficial
    FlagBoss3GaugeMoved = 8, // a third-stage boss moved its gauge and timer aside; the next keeps them
};

// The play state: the one object through which every character and stage script of a play
// reaches the layers, the ship, the item count, the flags and the timed bullet-size mode.
// Bullet-size modes: 0 normal, 1 small, 2 large.
class GameInfo {
public:
    static constexpr int kFlagCount = 100;

    GameInfo() = default;
    virtual ~GameInfo() = default;
    GameInfo(const GameInfo&) = delete;
    GameInfo& operator=(const GameInfo&) = delete;

    virtual void AddItemCount(std::int32_t n) { itemCount_ += n; }
    virtual void ResetItemCount() { itemCount_ = 0; }
    virtual std::int32_t GetItemCount() { return itemCount_; }
    virtual Point GetPlayerPosition() { return playerPosition_; }
    virtual CharacterEnemy* GetEnemyRoot() { return enemyRoot_; }
    virtual CharacterPlayer* GetPlayer() { return player_; }
    virtual Character* GetMiddleTree() { return middleTree_; }
    virtual Character* GetPlayerShotTree() { return playerShotTree_; }
    virtual Character* GetUpperShotTree() { return upperShotTree_; }
    virtual Character* GetLowerShotTree() { return lowerShotTree_; }
    virtual Character* GetTopTree() { return topTree_; }
    virtual Character* GetBackTree() { return backTree_; }
    virtual Point GetMarkPosition() { return markPosition_; }
    virtual void SetPlayerPosition(Fixed16 x, Fixed16 y) { playerPosition_ = {x, y}; }
    virtual void SetMiddleTree(Character* p) { middleTree_ = p; }
    virtual void SetEnemyRoot(CharacterEnemy* p) { enemyRoot_ = p; }
    virtual void SetPlayer(CharacterPlayer* p) { player_ = p; }
    virtual void SetPlayerShotTree(Character* p) { playerShotTree_ = p; }
    virtual void SetUpperShotTree(Character* p) { upperShotTree_ = p; }
    virtual void SetLowerShotTree(Character* p) { lowerShotTree_ = p; }
    virtual void SetTopTree(Character* p) { topTree_ = p; }
    virtual void SetBackTree(Character* p) { backTree_ = p; }
    virtual void SetMarkPosition(Fixed16 x, Fixed16 y) { markPosition_ = {x, y}; }
    virtual void IncreaseItemCount(std::int32_t n) { itemCount_ += n; }
    // Every enemy bullet on screen turns into its vanish effect (upper tree first, then lower).
    virtual void EraseEnemyShots();
    virtual bool BeginMode1();
    virtual std::int32_t GetMode1Duration() { return 300; }
    virtual bool BeginMode2();
    virtual std::int32_t GetMode2Duration() { return 300; }
    virtual void TickMode();
    virtual std::int32_t GetModeValueA() { return modeValueA_; }
    virtual std::int32_t GetModeValueB() { return modeValueB_; }
    virtual std::int32_t GetMode() { return mode_; }
    virtual std::int32_t GetModeTimer() { return modeTimer_; }
    virtual void ClearFlags();
    virtual bool GetFlag(int i) { return i >= 0 && i < kFlagCount && flags_[i]; }
    virtual void SetFlag(int i, bool b) {
        if (i >= 0 && i < kFlagCount) flags_[i] = b;
    }
    virtual void SetStage(std::int32_t n) { stage_ = n; }
    virtual std::int32_t GetStage() { return stage_; }
    virtual void SetGameMode(std::int32_t m) { gameMode_ = m; }
    virtual std::int32_t GetGameMode() { return gameMode_; }
    virtual void SetReplay(bool b) { replay_ = b; }
    virtual bool IsReplay() { return replay_; }

private:
    CharacterEnemy* enemyRoot_ = nullptr;
    CharacterPlayer* player_ = nullptr;
    Character* middleTree_ = nullptr;
    Character* playerShotTree_ = nullptr;
    Character* upperShotTree_ = nullptr;
    Character* lowerShotTree_ = nullptr;
    Character* topTree_ = nullptr;
    Character* backTree_ = nullptr;
    Point playerPosition_;
    Point markPosition_;
    std::int32_t itemCount_ = 0;
    std::int32_t stage_ = 1;
    std::int32_t gameMode_ = 0;
    bool replay_ = false;
    std::int32_t mode_ = 0;
    std::int32_t modeTimer_ = 0;
    std::int32_t modeValueA_ = 0;
    std::int32_t modeValueB_ = 4;
    bool flags_[kFlagCount] = {};
};
