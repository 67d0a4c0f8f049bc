#include "character/Character.h"
#include "app/Log.h"

Character::Character(Env* env, Log* log) : env(env), log(log) {}

Character::~Character() {
    ClearChildren();
}

std::int32_t Character::Notify(std::int32_t, std::int32_t) { return 0; }

void Character::Act() {}

Character* Character::GetParent() { return parent_; }

void Character::AddChildren(Character* child) {
    if (child == nullptr || child->GetParent() != nullptr || child == this) {
        // A child held by another tree stays there: deleting it would pull it out from under its
        // owner. A free object is the caller's to drop.
        if (log) LOG_WRITE(log, "Character", "AddChildren失敗");
        return;
    }
    children_.push_back(child);
    if (child->parent_ == nullptr) child->parent_ = this;
}

void Character::AddBrother(Character* object) {
    if (parent_ != nullptr) {
        parent_->AddChildren(object);
        return;
    }
    if (log) LOG_WRITE(log, "Character", "AddBrother失敗");
    if (object != nullptr && object->GetParent() == nullptr) delete object;
}

void Character::SetPosition(Fixed16 nx, Fixed16 ny) {
    x = nx;
    y = ny;
}

Point Character::GetPosition() { return {x, y}; }

std::list<Character*>& Character::GetChildren() { return children_; }

void Character::UpdateTree() {
    Act();
    // std::list iterators stay valid while elements are appended, so children added during the
    // walk are reached by this same loop.
    for (auto it = children_.begin(); it != children_.end();) {
        Character* child = *it;
        child->UpdateTree();
        if (!child->alive) {
            it = children_.erase(it);
            delete child;
        } else {
            ++it;
        }
    }
}

void Character::ClearChildren() {
    std::list<Character*> doomed;
    doomed.swap(children_);
    for (Character* c : doomed) delete c;
}

void Character::KillChildren() {
    for (Character* c : children_) c->alive = false;
}
