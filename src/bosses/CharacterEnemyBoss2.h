#pragma once
#include <cstdint>
#include "combat/CharacterEnemy.h"

// The second boss: a long armoured hull that passes over the field in four sections, each with
// gun pots and cores, above a lower hull that mirrors it through the field's centre. The hull
// cannot be destroyed; it absorbs shots and crushes the ship. Killing a section's core (or 900
// frames) slides it on to the next section; the last one carries the miso, whose death ends
// the boss. The old version (game modes 2, 3) is CharacterEnemyBoss2; the current version,
// made of the "b" parts, is CharacterEnemyBoss2b.
class CharacterEnemyBoss2 : public CharacterEnemy {
public:
    CharacterEnemyBoss2(Env* env, Log* log, GameInfo* gameInfo);
    void Act() override;
    std::int32_t HitByShot(CharacterShot& shot) override;
    // A core died (kind 0) or the miso died (kind 1).
    std::int32_t Notify(std::int32_t kind, std::int32_t value) override;

    // Replaces the parts with those of the section now on screen.
    virtual void BuildSection();
    // Nonzero during the swing after the last section has passed: the miso's signal to open fire.
    virtual std::int32_t IsLastSection();
    virtual void AdvanceSection();

    static constexpr std::int32_t kEntryFrames = 96;
    static constexpr std::int32_t kSectionCount = 4;
    static constexpr std::int32_t kSlideFrames = 480;
    static constexpr std::int32_t kSwingFrames = 960;
    static constexpr std::int32_t kAdvanceFrames = 900;
    static constexpr std::int32_t kDyingFrames = 60;

    std::int32_t entryCounter = 0;
    std::int32_t sectionsBuilt = 0;  // sections that have passed
    std::int32_t sectionCount = kSectionCount;
    std::int32_t sliding = 0;
    std::int32_t slideTimer = 0;
    std::int32_t finalSwing = 0;
    std::int32_t finalSwingTimer = 0;
    std::int32_t advanceTimer = 0;
    std::int32_t dying = 0;
    std::int32_t dyingTimer = 0;

protected:
    CharacterEnemyBoss2(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift);
    bool Current() const { return versionShift != 0; }
    // The armour in the order the ship is tested against it, corners relative to the position.
    void ArmourRect(int index, Point& min, Point& max) const;
    bool InArmour(Fixed16 px, Fixed16 py) const;
    void Place();
    void Explosions();
};

class CharacterEnemyBoss2b : public CharacterEnemyBoss2 {
public:
    CharacterEnemyBoss2b(Env* env, Log* log, GameInfo* gameInfo);
};
