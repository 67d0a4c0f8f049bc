#pragma once
#include <cstdint>
#include "app/Game.h"
#include "character/CharacterMenu.h"
#include "character/CharacterString.h"
#include "records/OptionsPage.h"
#include "records/Score.h"

// The hub scene: the title picture and the menu of plays, records, options and exit.
class GameTitle : public Game {
public:
    // The menu id of "practice" (beside the ids 1..10 of the original entries and 11, "options").
    static constexpr std::int32_t kPracticeEntry = 12;

    GameTitle(Env* env, Log* log);

    Game* Run() override;
    void Load() override;
    void Unload() override {}
    bool WantsQuit() override { return quit_; }

    // A finished recorded play: sets the progress flags it earned, keeps it as the mode's last
    // play and, when it scores strictly more than the stored one, as the best play with
    // "new recored!" and the high score shown. A tutorial play is neither saved nor compared.
    virtual void takeFinishedPlay(Score record);
    virtual void setHighScore(std::int32_t score);
    virtual void setCursor(std::int32_t id);
    virtual void buildMenu();

    CharacterMenu& menu() { return menu_; }
    bool optionsOpen() const { return optionsOpen_; }
    const OptionsPage& options() const { return options_; }
    const CharacterString& highScoreText() const { return highScoreText_; }
    const CharacterString& recordText() const { return recordText_; }

private:
    Game* startPlay(int gameMode);
    Game* openRecords(int gameMode);

    CharacterMenu menu_;
    bool quit_ = false;
    CharacterString highScoreText_;
    CharacterString recordText_;
    std::int32_t shownHighScore_ = -1;
    OptionsPage options_;
    bool optionsOpen_ = false;
};
