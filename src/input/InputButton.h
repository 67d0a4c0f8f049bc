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

// The live set's own use of index 7: the options key (Tab, or a pad's Back), which the play set
// and so every trace never see. It opens the options page from the pause menu.
constexpr int kOptionsButton = NoButton;

constexpr int kButtonCount = 8;
