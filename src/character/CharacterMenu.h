#pragma once
#include <cstdint>
#include <vector>
#include "character/Character.h"

// A vertical list of entries with an animated cursor, driven by Up, Down, Button1 (decide) and
// Button2 (cancel). The owner reads GetDecided each frame.
class CharacterMenu : public Character {
public:
    using Character::Character;
    void Act() override;

    // item becomes a child of the menu; the first entry is highlighted after each addition.
    virtual void AddItem(Character* item, std::int32_t id);
    // 0 while nothing is decided, the chosen id, or -1 when cancelled.
    virtual std::int32_t GetDecided();
    virtual void SetActive(bool active);
    virtual void ClearItems();
    virtual void SetCurrent(std::int32_t id);
    virtual std::int32_t GetCurrent();
    void ResetDecided() { decided_ = 0; }

    std::size_t itemCount() const { return items_.size(); }

private:
    struct Entry {
        Character* item;
        std::int32_t id;
    };
    std::vector<Entry> items_;
    bool active_ = true;
    std::int32_t current_ = 0;
    std::int32_t decided_ = 0;
    std::int32_t frame_ = 0;
};
