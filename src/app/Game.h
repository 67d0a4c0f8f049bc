#pragma once
#include <cstdint>

class Env;
class Log;

// A scene. Run plays one frame and returns null to stay, or a newly built scene to switch to.
class Game {
public:
    Game(Env* env, Log* log) : env(env), log(log) {}
    virtual ~Game() = default;
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    virtual Game* Run() = 0;
    virtual void Load() {}
    virtual void Unload() {}
    virtual bool WantsQuit() { return false; }

protected:
    Env* env;
    Log* log;
    bool started = false;
    std::int32_t frame = 0;
};
