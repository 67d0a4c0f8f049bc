#include "play/GameInfo.h"

bool GameInfo::BeginMode1() {
    if (modeTimer_ >= 0 && mode_ == 1) return false;
    mode_ = 1;
    modeTimer_ = GetMode1Duration();
    SetFlag(FlagEnteredSmall, true);
    modeValueA_ = 128;
    modeValueB_ = 4;
    return true;
}

bool GameInfo::BeginMode2() {
    if (modeTimer_ >= 0 && mode_ == 2) return false;
    mode_ = 2;
    modeTimer_ = GetMode2Duration();
    SetFlag(FlagEnteredLarge, true);
    modeValueA_ = 64;
    modeValueB_ = 64;
    return true;
}

void GameInfo::TickMode() {
    if (modeTimer_ < 0) {
        mode_ = 0;
        modeValueA_ = 0;
        modeValueB_ = 16;
        return;
    }
    // Large bullets run five times as fast: 300 frames of mode 1, 61 of mode 2.
    modeTimer_ -= (mode_ == 2) ? 5 : 1;
}

void GameInfo::ClearFlags() {
    for (bool& f : flags_) f = false;
}
