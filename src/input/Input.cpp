// Minimal first version; the full input service replaces it.
#include "input/Input.h"
#include "platform/Platform.h"

Input::Input(InputDevices* devices, Log* log) : log_(log), devices_(devices) {
    keyboardOk_ = devices_ && devices_->createKeyboard();
    acquired_ = keyboardOk_;
}
Input::~Input() = default;

void Input::update() {
    if (!acquired_ || !devices_) return;
    bool keys[InputDevices::KeyCount] = {};
    devices_->readKeyboard(keys);
    feedDevice(Left, keys[InputDevices::KeyLeft]);
    feedDevice(Right, keys[InputDevices::KeyRight]);
    feedDevice(Up, keys[InputDevices::KeyUp]);
    feedDevice(Down, keys[InputDevices::KeyDown]);
    feedDevice(Button1, keys[InputDevices::KeyZ] || keys[InputDevices::KeySpace]);
    feedDevice(Button2, keys[InputDevices::KeyX] || keys[InputDevices::KeyLShift]);
    feedDevice(Button3, keys[InputDevices::KeyC]);
}
bool Input::isDown(int b) { return playHeld_[b] || takePress(b); }
bool Input::takePress(int b) {
    if (playPresses_[b] < 1) return false;
    --playPresses_[b];
    return true;
}
bool Input::isDownLive(int b) { return liveHeld_[b] || takePressLive(b); }
bool Input::takePressLive(int b) {
    if (livePresses_[b] < 1) return false;
    --livePresses_[b];
    return true;
}
void Input::clearPresses() {
    for (int i = 0; i < kButtonCount; ++i) playPresses_[i] = livePresses_[i] = 0;
}
void Input::feedDevice(int b, bool down) {
    setButton(b, down);
    if (down && !liveHeld_[b]) ++livePresses_[b];
    liveHeld_[b] = down;
}
void Input::setButton(int b, bool down) {
    if (down && !playHeld_[b]) ++playPresses_[b];
    playHeld_[b] = down;
}
void Input::setAcquired(bool a) { acquired_ = a; }
bool Input::createKeyboard() { return keyboardOk_; }
void Input::readDevices() {}
