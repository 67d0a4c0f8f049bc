#include "character/CharacterMenu.h"
#include "app/Env.h"

namespace {
constexpr int kCursorSprite = 128;
constexpr int kHighlightSprite = 132;
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
}
