#pragma once
// A play without GameMain: a headless Env, the play state and the eight layers as plain
// characters, walked in the play scene's order. Sprites can be made visible as single pixels
// so tests can see what was drawn where.
#include <gtest/gtest.h>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include "app/Env.h"
#include "app/Log.h"
#include "character/Character.h"
#include "combat/CharacterEnemy.h"
#include "combat/CharacterPlayer.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameInfo.h"
#include "play/Random.h"
#include "support/TestEnv.h"

class CombatFixture : public ::testing::Test {
protected:
    CombatFixture() {
        info.SetEnemyRoot(&enemyRoot);
        info.SetPlayer(player.get());
        info.SetBackTree(&back);
        info.SetMiddleTree(&middle);
        info.SetPlayerShotTree(&playerShots);
        info.SetUpperShotTree(&upper);
        info.SetLowerShotTree(&lower);
        info.SetTopTree(&top);
        info.SetGameMode(4);
        PlaceShip(240, 500);
        playrand::srand(1);
    }

    void PlaceShip(int px, int py) {
        player->SetPosition(toFixed(px), toFixed(py));
        info.SetPlayerPosition(toFixed(px), toFixed(py));
    }

    // One frame of the play scene: the bullet-size tick, then the layers in drawing order.
    void Frame() {
        env.draw.backBuffer().pixels.assign(env.draw.backBuffer().pixels.size(), 0u);
        info.TickMode();
        back.UpdateTree();
        enemyRoot.UpdateTree();
        middle.UpdateTree();
        playerShots.UpdateTree();
        player->UpdateTree();
        info.SetPlayerPosition(player->x, player->y);
        lower.UpdateTree();
        upper.UpdateTree();
        top.UpdateTree();
    }
    void Frames(int n) {
        for (int i = 0; i < n; ++i) Frame();
    }

    // Holds a button with no press left pending, so the ship sees exactly the frames it is held.
    void Press(int button, bool down) {
        env.input.setButton(button, down);
        env.input.takePress(button);
    }

    template <class T>
    T* Spawn(T* enemy, int px, int py) {
        enemyRoot.AddChildren(enemy);
        enemy->SetPosition(toFixed(px), toFixed(py));
        return enemy;
    }

    template <class T>
    static int Count(Character& tree) {
        int n = 0;
        for (Character* c : tree.GetChildren()) n += dynamic_cast<T*>(c) != nullptr;
        return n;
    }
    template <class T>
    static T* First(Character& tree) {
        for (Character* c : tree.GetChildren()) {
            if (auto* t = dynamic_cast<T*>(c)) return t;
        }
        return nullptr;
    }

    // Each listed sprite becomes a 2 x 2 square of its own colour centred on the position, so a
    // draw at (px, py) colours pixel (px, py).
    void ShowSprites(std::initializer_list<std::int32_t> ids) {
        env.draw.CreateSurface(64, 64, 30);
        for (std::int32_t id : ids) {
            const int slot = probeCount_++;
            const int left = 2 * (slot % 32), topRow = 2 * (slot / 32);
            for (int dy = 0; dy < 2; ++dy)
                for (int dx = 0; dx < 2; ++dx) env.draw.GetSurface(30)->at(left + dx, topRow + dy) = Colour(id);
            env.draw.DefineSprite(topRow, topRow + 2, left, left + 2, 2, 1, 2, 1, 30, SpriteDef::kValid, id);
        }
    }
    static std::uint32_t Colour(std::int32_t id) { return 0x800000u | static_cast<std::uint32_t>(id); }
    bool DrawnAt(std::int32_t id, int px, int py) {
        return env.draw.backBuffer().at(Draw::kPlayfieldLeft + px, py) == Colour(id);
    }
    // How many times a sprite was drawn (apart from overlapping draws).
    int DrawnCount(std::int32_t id) {
        int n = 0;
        for (std::uint32_t p : env.draw.backBuffer().pixels) n += p == Colour(id);
        return n / 4;
    }

    HeadlessPlatform platform;
    Log log{""};
    StillClock clock;
    Env env{platform, &log, EnvOptions{false, &clock, true, false}};
    GameInfo info;
    CharacterEnemy enemyRoot{&env, &log, &info};
    Character back{&env, &log};
    Character middle{&env, &log};
    Character playerShots{&env, &log};
    Character upper{&env, &log};
    Character lower{&env, &log};
    Character top{&env, &log};
    std::unique_ptr<CharacterPlayer> player = std::make_unique<CharacterPlayer>(&env, &log, &info);

private:
    int probeCount_ = 0;
};
