#include "character/CharacterMenu.h"
#include "app/Env.h"
#include "character/CharacterString.h"

namespace {
constexpr int kCursorSprite = 128;
constexpr int kHighlightSprite = 132;
constexpr int kHighlightWidth = 64;  // the bar behind eight characters
}  // namespace

void CharacterMenu::AddItem(Character* item, std::int32_t id) {
    items_.push_back({item, id});
    AddChildren(item);
    current_ = items_.front().id;
}

std::int32_t CharacterMenu::GetDecided() { return decided_; }
void CharacterMenu::SetActive(bool active) { active_ = active; }
void CharacterMenu::SetCurrent(std::int32_t id) { current_ = id; }
std::int32_t CharacterMenu::GetCurrent() { return current_; }

void CharacterMenu::ClearItems() {
    ClearChildren();
    items_.clear();
}

void CharacterMenu::Act() {
    if (!active_) return;
    ++frame_;
    std::size_t at = items_.size();
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].id == current_) { at = i; break; }
    if (at == items_.size()) return;

    // All four in one frame; each step starts from the entry the previous one reached.
    const std::size_t n = items_.size();
    if (env->input.takePress(Down)) {
        env->sound.play(Click, false);
        at = (at + 1) % n;
        current_ = items_[at].id;
    }
    if (env->input.takePress(Up)) {
        env->sound.play(Click, false);
        at = (at + n - 1) % n;
        current_ = items_[at].id;
    }
    if (env->input.takePress(Button1)) {
        env->sound.play(Click, false);
        decided_ = items_[at].id;
    }
    if (env->input.takePress(Button2)) {
        env->sound.play(Click, false);
        decided_ = -1;
    }

    // Drawn after the buttons are read, so a press shows in the frame that reads it.
    const Point p = items_[at].item->GetPosition();
    env->draw.DrawSprite(p.x - toFixed(16), p.y, kCursorSprite + ((frame_ >> 2) & 3));
    env->draw.DrawSprite(p.x + toFixed(24), p.y, kHighlightSprite);
    // A longer label gets more of the bar, the last piece ending under its last character, so
    // the highlight fits the whole label ("score (2nd lap [old])" as well as "exit").
    const auto* label = dynamic_cast<const CharacterString*>(items_[at].item);
    const int length = label != nullptr ? static_cast<int>(label->text().size()) : 0;
    if (length > 8) {
        const int lastCentre = 8 * length - 4 - kHighlightWidth / 2;  // right edge at the text's end
        for (int centre = 24 + kHighlightWidth; centre < lastCentre; centre += kHighlightWidth)
            env->draw.DrawSprite(p.x + toFixed(centre), p.y, kHighlightSprite);
        env->draw.DrawSprite(p.x + toFixed(lastCentre), p.y, kHighlightSprite);
    }
}
