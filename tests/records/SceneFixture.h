#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include "RecordsFixture.h"
#include "app/Game.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/GameScore.h"

// Scenes of a headless game driven a frame at a time, in a folder of their own.
class SceneFixture : public RecordsFixture {
protected:
    // One frame of a scene with the given keys down; the scene it hands over, if any.
    std::unique_ptr<Game> frame(Game& scene, std::initializer_list<InputDevices::Key> keys = {}) {
        for (bool& k : platform.inputDevices().keys) k = false;
        for (auto k : keys) platform.inputDevices().keys[k] = true;
        return std::unique_ptr<Game>(scene.Run());
    }
    // Puts the cursor on id and decides it with Button1.
    std::unique_ptr<Game> choose(GameScore& scene, std::int32_t id) {
        frame(scene);
        scene.menu().SetCurrent(id);
        return frame(scene, {InputDevices::KeyZ});
    }

    HeadlessPlatform platform;
};
