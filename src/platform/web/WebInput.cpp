// Keys, pads and the form's events, as the page collects them.
#include <emscripten/emscripten.h>
#include <strings.h>
#include <cstring>
#include "platform/web/WebPlatform.h"

namespace {
// Key names as SDL gives them (the configuration's key section uses these) and the DOM's code
// for the same key. A key's code for the game is its place here.
struct KeyName {
    const char* name;
    const char* dom;
};
constexpr KeyName kKeys[] = {
    {"Right", "ArrowRight"}, {"Down", "ArrowDown"}, {"Left", "ArrowLeft"}, {"Up", "ArrowUp"},
    {"Space", "Space"}, {"Return", "Enter"}, {"Tab", "Tab"}, {"Backspace", "Backspace"},
    {"Left Shift", "ShiftLeft"}, {"Right Shift", "ShiftRight"}, {"Left Ctrl", "ControlLeft"},
    {"Right Ctrl", "ControlRight"}, {"Left Alt", "AltLeft"}, {"Right Alt", "AltRight"},
    {"Insert", "Insert"}, {"Delete", "Delete"}, {"Home", "Home"}, {"End", "End"},
    {"PageUp", "PageUp"}, {"PageDown", "PageDown"}, {"Keypad Enter", "NumpadEnter"},
    {"Keypad 0", "Numpad0"}, {"Keypad 1", "Numpad1"}, {"Keypad 2", "Numpad2"}, {"Keypad 3", "Numpad3"},
    {"Keypad 4", "Numpad4"}, {"Keypad 5", "Numpad5"}, {"Keypad 6", "Numpad6"}, {"Keypad 7", "Numpad7"},
    {"Keypad 8", "Numpad8"}, {"Keypad 9", "Numpad9"}, {"Keypad +", "NumpadAdd"}, {"Keypad -", "NumpadSubtract"},
    {"Keypad *", "NumpadMultiply"}, {"Keypad /", "NumpadDivide"}, {"Keypad .", "NumpadDecimal"},
    {",", "Comma"}, {".", "Period"}, {"/", "Slash"}, {";", "Semicolon"}, {"'", "Quote"}, {"-", "Minus"},
    {"=", "Equal"}, {"[", "BracketLeft"}, {"]", "BracketRight"}, {"\\", "Backslash"}, {"`", "Backquote"},
    {"A", "KeyA"}, {"B", "KeyB"}, {"C", "KeyC"}, {"D", "KeyD"}, {"E", "KeyE"}, {"F", "KeyF"}, {"G", "KeyG"},
    {"H", "KeyH"}, {"I", "KeyI"}, {"J", "KeyJ"}, {"K", "KeyK"}, {"L", "KeyL"}, {"M", "KeyM"}, {"N", "KeyN"},
    {"O", "KeyO"}, {"P", "KeyP"}, {"Q", "KeyQ"}, {"R", "KeyR"}, {"S", "KeyS"}, {"T", "KeyT"}, {"U", "KeyU"},
    {"V", "KeyV"}, {"W", "KeyW"}, {"X", "KeyX"}, {"Y", "KeyY"}, {"Z", "KeyZ"},
    {"0", "Digit0"}, {"1", "Digit1"}, {"2", "Digit2"}, {"3", "Digit3"}, {"4", "Digit4"},
    {"5", "Digit5"}, {"6", "Digit6"}, {"7", "Digit7"}, {"8", "Digit8"}, {"9", "Digit9"},
    {"F1", "F1"}, {"F2", "F2"}, {"F3", "F3"}, {"F4", "F4"}, {"F5", "F5"}, {"F6", "F6"},
    {"F7", "F7"}, {"F8", "F8"}, {"F9", "F9"}, {"F10", "F10"}, {"F12", "F12"},
};
constexpr int kKeyCount = sizeof kKeys / sizeof kKeys[0];
static_assert(kKeyCount <= InputDevices::kKeyCodes);
}  // namespace

EM_JS(void, web_bind_key, (int code, const char* dom), { Module.page.bindKey(code, UTF8ToString(dom)); });
EM_JS(void, web_read_keys, (bool* out, int count), { HEAPU8.set(Module.page.keyState.subarray(0, count), out); });
EM_JS(int, web_read_pads, (int* out, int max), { return Module.page.readPads(HEAP32, out >> 2, max); });

int WebInputDevices::keyCode(const std::string& name) {
    for (int code = 0; code < kKeyCount; ++code) {
        if (strcasecmp(name.c_str(), kKeys[code].name) != 0) continue;
        web_bind_key(code, kKeys[code].dom);
        return code;
    }
    return -1;
}

void WebInputDevices::readKeyboard(bool keys[kKeyCodes]) {
    static_assert(sizeof(bool) == 1);
    web_read_keys(keys, kKeyCodes);
}

int WebInputDevices::readPads(PadState* pads, int max) {
    // Eleven numbers a pad: south, east, west, north, start, up, down, left, right, stick x, y.
    int values[kMaxPads * 11];
    const int count = web_read_pads(values, max < kMaxPads ? max : kMaxPads);
    for (int i = 0; i < count; ++i) {
        const int* v = values + i * 11;
        PadState& p = pads[i];
        p.south = v[0], p.east = v[1], p.west = v[2], p.north = v[3], p.start = v[4];
        p.up = v[5], p.down = v[6], p.left = v[7], p.right = v[8];
        p.leftX = v[9], p.leftY = v[10];
    }
    return count;
}

EM_JS(void, web_form_begin, (), { Module.page.formBegin(); });
EM_JS(void, web_form_caret, (int x, int y, int w, int h), { Module.page.formCaret(x, y, w, h); });
EM_JS(void, web_form_end, (), { Module.page.formEnd(); });
// kind, key, code, shift, x, y into out; the text into text (cap bytes). 0 when nothing waits.
EM_JS(int, web_form_next, (int* out, char* text, int cap), {
    const e = Module.page.formNext();
    if (!e) return 0;
    HEAP32.set([e.kind, e.key || 0, e.code === undefined ? -1 : e.code, e.shift ? 1 : 0, e.x || 0, e.y || 0], out >> 2);
    stringToUTF8(e.text || "", text, cap);
    return 1;
});

void WebFormInput::beginText() { web_form_begin(); }
void WebFormInput::setCaret(int x, int y, int w, int h) { web_form_caret(x, y, w, h); }
void WebFormInput::endText() { web_form_end(); }

bool WebFormInput::next(FormEvent& event, int waitMs) {
    // The page numbers its events as FormEvent::Kind, its keys as FormEvent::KeyCode (with the
    // key's code as keyCode gives it) and a pad's buttons as FormEvent::PadButton.
    const double until = emscripten_get_now() + waitMs;
    int v[6];
    char text[256];
    for (;;) {
        if (web_form_next(v, text, sizeof text)) {
            event = FormEvent{};
            event.kind = static_cast<FormEvent::Kind>(v[0]);
            event.key = v[1];
            event.code = v[2];
            event.shift = v[3] != 0;
            event.x = v[4];
            event.y = v[5];
            event.text = text;
            return true;
        }
        const double left = until - emscripten_get_now();
        if (left <= 0) return false;
        webYield(left < 8 ? static_cast<std::uint32_t>(left) : 8);
    }
}
