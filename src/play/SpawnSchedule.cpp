#include "play/SpawnSchedule.h"
#include "character/Character.h"

void SpawnSchedule::Restart() {
    next_ = 0;
    eventClock_ = 0;
    stageFrame_ = 0;
}

void SpawnSchedule::Run(const Factory& create, Character* root) {
    while (next_ < script_.size() && script_[next_].delay <= eventClock_) {
        const ScriptEntry entry = script_[next_];
        eventClock_ -= entry.delay;
        Character* object = create(entry.kind);
        if (!object) break;
        root->AddChildren(object);
        object->SetPosition(entry.x, entry.y);
        ++next_;
        if (observer_) observer_(stageFrame_, entry, object);
    }
    ++eventClock_;
    ++stageFrame_;
}
