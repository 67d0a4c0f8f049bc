#pragma once
#include <cstdint>
#include <list>
#include "app/Fixed16.h"

class CharacterEnemy;
class Env;
class Log;

// The base of every object in a scene's trees: each owns an ordered list of children, acts and
// draws itself in Act, and is deleted by its parent once its alive flag is false.
class Character {
public:
    Character(Env* env, Log* log);
    virtual ~Character();
    Character(const Character&) = delete;
    Character& operator=(const Character&) = delete;

    virtual std::int32_t Notify(std::int32_t kind, std::int32_t value);
    virtual void Act();
    virtual Character* GetParent();
    // Takes ownership of child when it is free; refuses (logged) a null child or one that already
    // has a parent, and deletes a refused object only when no tree holds it.
    virtual void AddChildren(Character* child);
    // Appends object as the last child of this object's parent; without a parent the object is
    // logged and deleted.
    virtual void AddBrother(Character* object);
    virtual void SetPosition(Fixed16 x, Fixed16 y);
    virtual Point GetPosition();
    virtual std::list<Character*>& GetChildren();
    // This object as an enemy, or null when it is none. Every player shot asks each object of
    // the enemy tree every frame, where a virtual call costs far less than a dynamic_cast.
    virtual CharacterEnemy* AsEnemy() { return nullptr; }

    // Act, then walk the children in order (children appended during the walk act in the same
    // walk); a child whose alive flag is false after its own step is deleted.
    void UpdateTree();
    void ClearChildren();
    void KillChildren();

    bool alive = true;
    Fixed16 x = 0;
    Fixed16 y = 0;

protected:
    Env* env;
    Log* log;

private:
    std::list<Character*> children_;
    Character* parent_ = nullptr;
};
