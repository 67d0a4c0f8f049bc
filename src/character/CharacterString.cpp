#include "character/CharacterString.h"
#include "app/Env.h"

void CharacterString::Act() {
    // Each glyph is a sprite, and a skipped frame draws none of them: no need to walk the text.
    if (env->draw.skip()) return;
    for (std::size_t i = 0; i < text_.size(); ++i) {
        const auto glyph = static_cast<signed char>(text_[i]);
        env->draw.DrawSprite(x + toFixed(static_cast<int>(i) * 8), y, glyph, Draw::kBackBuffer);
    }
}

void CharacterString::SetText(std::string text) { text_ = std::move(text); }
