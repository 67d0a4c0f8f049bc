#include "platform/sdl/SdlPlatform.h"

void SdlFormInput::beginText() {
    quitPending_ = false;
    // Keys already waiting were meant for the game (the press that opened the form among them).
    SDL_PumpEvents();
    SDL_FlushEvents(SDL_KEYDOWN, SDL_TEXTINPUT);
    SDL_FlushEvents(SDL_CONTROLLERAXISMOTION, SDL_CONTROLLERDEVICEREMAPPED);
    SDL_StartTextInput();
}

void SdlFormInput::setCaret(int x, int y, int w, int h) {
    SDL_Rect rect = screen_->toWindow(x, y, w, h);
    SDL_SetTextInputRect(&rect);
}

void SdlFormInput::endText() {
    SDL_StopTextInput();
    // A close request that ended the form is the scene loop's too.
    if (quitPending_) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
        quitPending_ = false;
    }
}

bool SdlFormInput::next(FormEvent& event, int waitMs) {
    SDL_Event e;
    if (!(waitMs > 0 ? SDL_WaitEventTimeout(&e, waitMs) : SDL_PollEvent(&e))) return false;
    do {
        if (translate(e, event)) return true;
    } while (SDL_PollEvent(&e));
    return false;
}

void SdlFormInput::at(int windowX, int windowY, FormEvent& event) const {
    const SDL_Point p = screen_->toPicture(windowX, windowY);
    event.x = p.x;
    event.y = p.y;
}

bool SdlFormInput::translate(const SDL_Event& e, FormEvent& event) {
    event = FormEvent{};
    switch (e.type) {
        case SDL_QUIT:
            quitPending_ = true;
            event.kind = FormEvent::Close;
            return true;
        case SDL_TEXTINPUT:
            event.kind = FormEvent::Text;
            event.text = e.text.text;
            return true;
        case SDL_TEXTEDITING:
            event.kind = FormEvent::Composition;
            event.text = e.edit.text;
            return true;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            if (e.button.button != SDL_BUTTON_LEFT) return false;
            event.kind = e.type == SDL_MOUSEBUTTONDOWN ? FormEvent::Press : FormEvent::Release;
            at(e.button.x, e.button.y, event);
            return true;
        case SDL_MOUSEMOTION:
            event.kind = FormEvent::Motion;
            at(e.motion.x, e.motion.y, event);
            return true;
        case SDL_KEYDOWN: {
            const SDL_Keycode k = e.key.keysym.sym;
            const Uint16 mod = e.key.keysym.mod;
            if ((mod & KMOD_CTRL) && k == SDLK_v) {
                // Pasted text arrives as typed text.
                char* clip = SDL_GetClipboardText();
                event.kind = FormEvent::Text;
                event.text = clip ? clip : "";
                SDL_free(clip);
                return !event.text.empty();
            }
            static const struct {
                SDL_Keycode sdl;
                int key;
            } kKeys[] = {
                {SDLK_TAB, FormEvent::Tab},        {SDLK_RETURN, FormEvent::Enter},    {SDLK_KP_ENTER, FormEvent::Enter},
                {SDLK_ESCAPE, FormEvent::Escape},  {SDLK_BACKSPACE, FormEvent::Backspace},
                {SDLK_DELETE, FormEvent::Delete},  {SDLK_LEFT, FormEvent::Left},       {SDLK_RIGHT, FormEvent::Right},
                {SDLK_HOME, FormEvent::Home},      {SDLK_END, FormEvent::End},         {SDLK_UP, FormEvent::Up},
                {SDLK_DOWN, FormEvent::Down},      {SDLK_SPACE, FormEvent::Space},
            };
            event.kind = FormEvent::Key;
            event.key = FormEvent::OtherKey;
            event.code = static_cast<int>(e.key.keysym.scancode);
            event.shift = (mod & KMOD_SHIFT) != 0;
            for (const auto& entry : kKeys)
                if (entry.sdl == k) event.key = entry.key;
            // Keys a form has no use for still reach it: a box answers to the game's own buttons.
            return true;
        }
        case SDL_CONTROLLERBUTTONDOWN: {
            static const struct {
                Uint8 sdl;
                int button;
            } kButtons[] = {
                {SDL_CONTROLLER_BUTTON_A, FormEvent::PadSouth},        {SDL_CONTROLLER_BUTTON_B, FormEvent::PadEast},
                {SDL_CONTROLLER_BUTTON_X, FormEvent::PadWest},         {SDL_CONTROLLER_BUTTON_Y, FormEvent::PadNorth},
                {SDL_CONTROLLER_BUTTON_START, FormEvent::PadStart},    {SDL_CONTROLLER_BUTTON_DPAD_UP, FormEvent::PadUp},
                {SDL_CONTROLLER_BUTTON_DPAD_DOWN, FormEvent::PadDown}, {SDL_CONTROLLER_BUTTON_DPAD_LEFT, FormEvent::PadLeft},
                {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, FormEvent::PadRight},
            };
            for (const auto& entry : kButtons) {
                if (entry.sdl != e.cbutton.button) continue;
                event.kind = FormEvent::Pad;
                event.key = entry.button;
                return true;
            }
            return false;
        }
        default:
            return false;
    }
}
