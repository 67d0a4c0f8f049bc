#include "app/SceneLoop.h"
#include "app/Env.h"
#include "app/Game.h"
#include "app/HeapRelease.h"
#include "graphics/Bitmap.h"
#include "platform/Platform.h"

SceneLoop::SceneLoop(Env& env, Screen& screen, Game* first) : env_(env), screen_(screen), current_(first) {}

// The last scene goes with the loop, so the loop must go before the services the scene uses
// (the shell ends it before it tears the services down).
SceneLoop::~SceneLoop() = default;

void SceneLoop::handleEvent(int kind) {
    switch (kind) {
        case WindowEvent::Close:
        case WindowEvent::Escape:
            closing_ = true;
            break;
        case WindowEvent::FocusGained:
            env_.input.setAcquired(true);
            break;
        case WindowEvent::FocusLost:
            env_.input.setAcquired(false);
            break;
        case WindowEvent::Expose:
            env_.draw.SetSkip(false);
            env_.draw.Present();
            break;
        default:
            break;
    }
}

bool SceneLoop::step() {
    if (closing_) return false;
    WindowEvent event;
    if (screen_.pollEvent(event)) {
        handleEvent(event.kind);
        return !closing_;
    }
    Game* next = current_->Run();
    // Shown at once: the frame's buttons were polled after its wait, just before it was drawn.
    env_.Show();
    if (freshScene_) {
        // The previous scene is gone and this one has loaded: what they freed goes back, and the
        // picture files it decoded leave the resident memory.
        freshScene_ = false;
        releaseFreeHeap();
        releaseBitmapResourcePages();
    }
    if (next != nullptr) {
        current_.reset(next);
        env_.input.clearPresses();
        freshScene_ = true;
    }
    if (current_->WantsQuit()) closing_ = true;
    return !closing_;
}

int SceneLoop::run() {
    while (step()) {
    }
    return 0;
}
