#pragma once
#include <string>
#include "platform/Platform.h"

// What the player types into a form, as the form's input delivers it.
inline FormEvent text(const std::string& utf8) {
    FormEvent e;
    e.kind = FormEvent::Text;
    e.text = utf8;
    return e;
}
inline FormEvent key(int code, bool shift = false) {
    FormEvent e;
    e.kind = FormEvent::Key;
    e.key = code;
    e.shift = shift;
    return e;
}
