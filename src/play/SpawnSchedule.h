#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include "stages/ScriptEntry.h"

class Character;

// The running spawn script of the current stage: the entries the stage appended, the next one to
// start and the frames counted towards its delay. Delays are relative to the previous spawn and
// the frames by which the clock overshoots carry over, so entries with delay 0 start in the same
// frame as the one before them.
class SpawnSchedule {
public:
    // Builds the object of a kind, or null when the kind builds nothing.
    using Factory = std::function<Character*(std::int32_t kind)>;
    // Told of every object started, with the stage frame it started on.
    using Observer = std::function<void(std::int32_t stageFrame, const ScriptEntry& entry, Character* object)>;

    // The list a stage's Begin clears and fills.
    Script& script() { return script_; }
    // A stage begins: the clock starts at 0 on the first entry.
    void Restart();
    // The play restarts inside the stage: the clock goes back to 0, the next entry stays.
    void resetClock() { eventClock_ = 0; }
    // One frame, after every tree has acted: start what is due, attach it to root at its point.
    // An entry whose kind builds nothing stays first in line; its delay has already been taken
    // off the clock, so it is tried again once the clock has run up to it once more.
    void Run(const Factory& create, Character* root);

    void setObserver(Observer observer) { observer_ = std::move(observer); }
    bool finished() const { return next_ >= script_.size(); }
    std::size_t next() const { return next_; }
    std::int32_t eventClock() const { return eventClock_; }
    // Frames run since the stage began (0 on its first frame).
    std::int32_t stageFrame() const { return stageFrame_; }

private:
    Script script_;
    std::size_t next_ = 0;
    std::int32_t eventClock_ = 0;
    std::int32_t stageFrame_ = 0;
    Observer observer_;
};
