#pragma once
#include <memory>

class Env;
class Game;
class Screen;

// The main loop: window events between frames, one frame of the current scene per pass, scene
// hand-over, and the end of the loop on Escape, the close box or the scene's wish to quit.
class SceneLoop {
public:
    // first: the first scene, owned from here on.
    SceneLoop(Env& env, Screen& screen, Game* first);
    ~SceneLoop();

    // One pass; false once the loop has ended.
    bool step();
    // Runs passes until the loop ends; the exit status (0).
    int run();

    Game* current() { return current_.get(); }

private:
    void handleEvent(int kind);

    Env& env_;
    Screen& screen_;
    std::unique_ptr<Game> current_;
    bool closing_ = false;
    bool freshScene_ = true;  // the scene has not run its first frame (where it loads) yet
};
