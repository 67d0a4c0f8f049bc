#include "platform/sdl/SdlPlatform.h"
#include <algorithm>
#include <cstdio>
#include <vector>
#include "app/Clock.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "sound/Mixer.h"

SdlPlatform::SdlPlatform() {
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_Init(SDL_INIT_EVENTS);
}

SdlPlatform::~SdlPlatform() {
    audio_.close();
    SDL_Quit();
}

std::unique_ptr<Platform> makeSdlPlatform() { return std::make_unique<SdlPlatform>(); }

// --- keyboard and joystick ---------------------------------------------------------------

SdlInputDevices::~SdlInputDevices() {
    for (SDL_GameController* pad : pads_) SDL_GameControllerClose(pad);
    if (joystick_) SDL_JoystickClose(joystick_);
}

int SdlInputDevices::keyCode(const std::string& name) {
    // Names of key positions as SDL gives them ("Z", "Space", "Left Shift", "Return"), the same
    // positions the default keys use; a name SDL knows only as a key symbol goes through the
    // current keyboard layout.
    SDL_Scancode code = SDL_GetScancodeFromName(name.c_str());
    if (code == SDL_SCANCODE_UNKNOWN) {
        const SDL_Keycode key = SDL_GetKeyFromName(name.c_str());
        if (key != SDLK_UNKNOWN) code = SDL_GetScancodeFromKey(key);
    }
    if (code == SDL_SCANCODE_UNKNOWN || code >= kKeyCodes) return -1;
    return static_cast<int>(code);
}

std::string SdlInputDevices::keyName(int code) {
    if (code <= 0 || code >= kKeyCodes) return {};
    return SDL_GetScancodeName(static_cast<SDL_Scancode>(code));
}

void SdlInputDevices::readKeyboard(bool keys[kKeyCodes]) {
    SDL_PumpEvents();
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    for (int k = 0; k < kKeyCodes; ++k) keys[k] = k < count && state[k] != 0;
}

bool SdlInputDevices::startJoysticks() {
    if (started_) return true;
    // Face buttons by where they sit, not by what is printed on them: south fires on every pad.
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    if (SDL_InitSubSystem(SDL_INIT_JOYSTICK | SDL_INIT_GAMECONTROLLER) != 0) return false;
    // SDL's own database knows the common pads; a player's file beside the game's data adds more.
    SDL_GameControllerAddMappingsFromFile(gamePaths().dataFile("gamecontrollerdb.txt").c_str());
    started_ = true;
    return true;
}

int SdlInputDevices::joystickPorts() {
    if (!startJoysticks()) return 0;
    return SDL_NumJoysticks();
}

SDL_Joystick* SdlInputDevices::open(int id) {
    if (joystick_ && joystickId_ == id) return joystick_;
    if (joystick_) SDL_JoystickClose(joystick_);
    joystick_ = SDL_JoystickOpen(id);
    joystickId_ = joystick_ ? id : -1;
    return joystick_;
}

bool SdlInputDevices::readJoystick(int id, JoyPosition& position) {
    // Devices SDL knows the layout of are read as pads, by the names of their buttons.
    if (SDL_IsGameController(id)) return false;
    SDL_Joystick* j = open(id);
    if (!j) return false;
    SDL_JoystickUpdate();
    // SDL axes run -32768..32767; the thresholds expect 0..65535.
    position.x = static_cast<std::uint32_t>(SDL_JoystickGetAxis(j, 0) + 32768);
    position.y = static_cast<std::uint32_t>(SDL_JoystickGetAxis(j, 1) + 32768);
    position.buttons = 0;
    for (int b = 0; b < 3; ++b)
        if (SDL_JoystickGetButton(j, b)) position.buttons |= 1u << b;
    return true;
}

bool SdlInputDevices::joystickCaps(int id, JoyCaps& caps) {
    if (SDL_IsGameController(id) || !open(id)) return false;
    caps = JoyCaps{0, 65535, 0, 65535};
    return true;
}

int SdlInputDevices::readPads(PadState* out, int max) {
    if (!startJoysticks()) return 0;
    // Looks for devices plugged in since the last poll and lets go of those pulled out.
    SDL_GameControllerUpdate();
    for (auto it = pads_.begin(); it != pads_.end();) {
        if (SDL_GameControllerGetAttached(*it)) {
            ++it;
            continue;
        }
        SDL_GameControllerClose(*it);
        it = pads_.erase(it);
    }
    const int devices = SDL_NumJoysticks();
    for (int i = 0; i < devices; ++i) {
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(i);
        if (instance < 0 || std::find(seen_.begin(), seen_.end(), instance) != seen_.end()) continue;
        seen_.push_back(instance);
        if (!SDL_IsGameController(i)) continue;
        if (SDL_GameController* pad = SDL_GameControllerOpen(i)) pads_.push_back(pad);
    }
    int n = 0;
    for (SDL_GameController* pad : pads_) {
        if (n >= max) break;
        auto button = [pad](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
        PadState& p = out[n++];
        p.south = button(SDL_CONTROLLER_BUTTON_A);
        p.east = button(SDL_CONTROLLER_BUTTON_B);
        p.west = button(SDL_CONTROLLER_BUTTON_X);
        p.north = button(SDL_CONTROLLER_BUTTON_Y);
        p.start = button(SDL_CONTROLLER_BUTTON_START);
        p.back = button(SDL_CONTROLLER_BUTTON_BACK);
        p.up = button(SDL_CONTROLLER_BUTTON_DPAD_UP);
        p.down = button(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
        p.left = button(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
        p.right = button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
        p.leftX = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
        p.leftY = SDL_GameControllerGetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    }
    return n;
}

// --- audio -------------------------------------------------------------------------------------

bool SdlAudioDevice::open(Mixer* mixer) {
    if (device_) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    mixer_ = mixer;
    SDL_AudioSpec want{};
    want.freq = Mixer::kRate;
    want.format = AUDIO_S16SYS;
    want.channels = Mixer::kChannels;
    want.samples = Mixer::kDeviceFrames;
    want.callback = &SdlAudioDevice::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void SdlAudioDevice::close() {
    if (!device_) return;
    SDL_CloseAudioDevice(device_);
    device_ = 0;
    mixer_ = nullptr;
}

void SdlAudioDevice::callback(void* user, Uint8* stream, int len) {
    auto* self = static_cast<SdlAudioDevice*>(user);
    const int frames = len / static_cast<int>(sizeof(std::int16_t) * Mixer::kChannels);
    const double start = clockMsPrecise();
    if (self->mixer_) {
        self->mixer_->renderLive(reinterpret_cast<std::int16_t*>(stream), frames, start);
    } else {
        std::fill(stream, stream + len, 0);
    }
    const double blockMs = frames * 1000.0 / Mixer::kRate;
    const double took = msBetween(clockMsPrecise(), start);
    const double gap = self->lastStart_ < 0 ? 0 : msBetween(start, self->lastStart_);
    self->lastStart_ = start;
    self->blocks_.fetch_add(1, std::memory_order_relaxed);
    if (took > blockMs || gap > 2 * blockMs) self->late_.fetch_add(1, std::memory_order_relaxed);
    if (gap > self->worstGapMs_.load(std::memory_order_relaxed)) self->worstGapMs_.store(gap, std::memory_order_relaxed);
    if (took > self->worstRenderMs_.load(std::memory_order_relaxed)) self->worstRenderMs_.store(took, std::memory_order_relaxed);
}

AudioStats SdlAudioDevice::stats() const {
    return AudioStats{blocks_.load(), late_.load(), worstGapMs_.load(), worstRenderMs_.load()};
}

// --- message boxes -----------------------------------------------------------------------------

Dialogs::Answer SdlDialogs::messageBox(const std::string& text, const std::string& caption, Buttons buttons) {
    std::vector<SDL_MessageBoxButtonData> data;
    switch (buttons) {
        case Ok:
            data = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, AnswerOk, "OK"}};
            break;
        case OkCancel:
            data = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, AnswerOk, "OK"},
                    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, AnswerCancel, "Cancel"}};
            break;
        case YesNo:
            data = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, AnswerYes, "Yes"},
                    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, AnswerNo, "No"}};
            break;
    }
    SDL_MessageBoxData box{};
    box.flags = SDL_MESSAGEBOX_INFORMATION;
    // Owned by the game window, so it stays in front of it.
    box.window = screen_ ? screen_->window() : nullptr;
    // The texts are written in Japanese; the player reads them in their own language.
    const std::string title = tr(caption.c_str()), message = tr(text.c_str());
    box.title = title.c_str();
    box.message = message.c_str();
    box.numbuttons = static_cast<int>(data.size());
    box.buttons = data.data();
    int pressed = -1;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // No way to show a box here (no message box system on this desktop): the player at least
        // finds the message on the terminal, and the question counts as declined.
        std::fprintf(stderr, "%s: %s (%s)\n", title.c_str(), message.c_str(), SDL_GetError());
        pressed = -1;
    }
    if (pressed < 0) return buttons == YesNo ? AnswerNo : buttons == Ok ? AnswerOk : AnswerCancel;
    return static_cast<Answer>(pressed);
}
