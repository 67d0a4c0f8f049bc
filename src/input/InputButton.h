#pragma once

// The game's buttons. Index 7 is never set by a device but is stored, recorded and compared like
// the others, so a button state is always eight bytes.
enum InputButton : int {
    Right = 0,
    Down = 1,
    Left = 2,
    Up = 3,
    Button1 = 4,
    Button2 = 5,
    Button3 = 6,
    NoButton = 7,
};

constexpr int kButtonCount = 8;
