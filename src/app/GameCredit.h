#pragma once
#include "app/Game.h"

// The start-up scene: the credit logo fades in and out over 120 frames; Button1 skips it.
class GameCredit : public Game {
public:
    using Game::Game;
    Game* Run() override;
    void Load() override;
    void Unload() override;
};
