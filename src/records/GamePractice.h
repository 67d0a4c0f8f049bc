#pragma once
#include <cstdint>
#include "app/Game.h"
#include "character/CharacterMenu.h"
#include "character/CharacterString.h"

// Practice, opened from the title: every stage already reached in each lap the player has, as
// "1st lap  stage 2" and so on, and "back". A practice play starts at the chosen stage, says
// "PRACTICE" on the screen, and is never kept as a record nor sent. Drawn with the title's
// font, cursor and background, which the title (its only way in) has loaded.
class GamePractice : public Game {
public:
    static constexpr std::int32_t kBack = 1;
    // A stage's entry: game mode x 10 + stage.
    static constexpr std::int32_t entryId(std::int32_t mode, std::int32_t stage) { return mode * 10 + stage; }

    GamePractice(Env* env, Log* log);

    Game* Run() override;
    void Load() override { started = true; }
    void Unload() override {}

    CharacterMenu& menu() { return menu_; }

private:
    void buildMenu();
    Game* backToTitle();

    CharacterMenu menu_;
    CharacterString heading_;
};
