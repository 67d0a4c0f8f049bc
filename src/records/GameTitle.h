#pragma once
#include <cstdint>
#include "app/Game.h"
#include "character/CharacterMenu.h"
#include "character/CharacterString.h"

// The hub scene: the title picture and the menu of plays, records and exit.
class GameTitle : public Game {
public:
    GameTitle(Env* env, Log* log);

    Game* Run() override;
    void Load() override;
    void Unload() override {}
    bool WantsQuit() override { return quit_; }

    virtual void setHighScore(std::int32_t score);
    virtual void setCursor(std::int32_t id);
    virtual void buildMenu();

    CharacterMenu& menu() { return menu_; }
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
};
