#pragma once

enum SoundId : int {
    Click = 0,
    Burst1 = 1,
    Burst2 = 2,
    Hit = 3,
    Charge = 4,
    Rupee = 5,
    Extend = 6,
    Shot = 7,
};

constexpr int kSoundSlots = 8;
