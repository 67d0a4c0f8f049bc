#pragma once
#include <string>
#include "character/Character.h"

// A line of text in the bitmap font: one sprite per byte, 8 pixels apart, each centred on its
// position. Bytes 128..255 select no glyph and leave a gap.
class CharacterString : public Character {
public:
    using Character::Character;
    void Act() override;
    virtual void SetText(std::string text);
    const std::string& text() const { return text_; }

private:
    std::string text_;
};
