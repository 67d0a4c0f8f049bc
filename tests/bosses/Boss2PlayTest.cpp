// Stage 2's boss in whole plays, reached through the pause menu's stage select as a player would.
#include <gtest/gtest.h>
#include "bosses/Boss2Parts.h"
#include "bosses/CharacterEnemyBoss2.h"
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "support/TestEnv.h"

namespace {
constexpr std::uint8_t kFire = PlayHarness::bit(Button1);

template <class T>
T* findIn(Character& root) {
    for (Character* c : root.GetChildren()) {
        if (auto* t = dynamic_cast<T*>(c); t && t->alive) return t;
        if (T* t = findIn<T>(*c)) return t;
    }
    return nullptr;
}

// The hull's own core of the section on screen (the one right at the hull's position).
CharacterEnemyBoss2Core* sectionCore(CharacterEnemyBoss2& hull) {
    for (Character* c : hull.GetChildren()) {
        auto* core = dynamic_cast<CharacterEnemyBoss2Core*>(c);
        if (core && core->alive && core->offsetX == 0) return core;
    }
    return nullptr;
}

// One frame with the ship parked under a target and firing; the ship cannot be hit.
void fireAt(PlayHarness& play, const Character& target, int below = 150) {
    play.game().player().invulnerable = 1 << 20;
    play.game().player().SetPosition(target.x, target.y + toFixed(below));
    play.step(kFire);
}

struct Version {
    std::int32_t mode;
    const char* hull;
    const char* fighter;
};
constexpr Version kVersions[] = {{3, "CharacterEnemyBoss2", "CharacterEnemyBorn(CharacterEnemy1)"},
                                 {5, "CharacterEnemyBoss2b", "CharacterEnemyBorn(CharacterEnemy1b)"}};
}  // namespace

TEST(Boss2Play, ArrivesOnFrame90WithItsPortalsAndFightersKeepComingDuringTheFight) {
    for (const Version& v : kVersions) {
        SCOPED_TRACE(v.mode);
        TempWorkDir dir;
        PlayHarness play(v.mode, false);
        play.run(30);
        ASSERT_TRUE(play.selectStage(2));
        play.run(800);
        int portals = 0, bosses = 0, fighters = 0;
        for (const auto& s : play.spawns()) {
            if (s.stage != 2) continue;
            if (s.frame == 90 && s.kind == 6) ++portals;
            if (s.frame == 90 && s.kind == 7 && s.className == v.hull) ++bosses;
            if (s.frame >= 690 && s.className == v.fighter) ++fighters;
        }
        EXPECT_EQ(bosses, 1);
        EXPECT_EQ(portals, 52);
        EXPECT_EQ(fighters, 3) << "three fighters on frames 690, 720 and 750";
        EXPECT_NE(findIn<CharacterEnemyBoss2>(play.game().enemyRoot()), nullptr) << "while the boss is alive";
        EXPECT_EQ(play.stage(), 2);
    }
}

// The hull takes every shot and never a hit point; its cores move it on at once; only the miso's
// death ends the boss, and with it the stage.
TEST(Boss2Play, CoresAdvanceTheHullAtOnceAndOnlyTheMisoEndsTheStage) {
    for (const Version& v : kVersions) {
        SCOPED_TRACE(v.mode);
        TempWorkDir dir;
        PlayHarness play(v.mode, false);
        play.run(30);
        ASSERT_TRUE(play.selectStage(2));
        play.run(90 + 2 + CharacterEnemyBoss2::kEntryFrames);
        auto* hull = findIn<CharacterEnemyBoss2>(play.game().enemyRoot());
        ASSERT_NE(hull, nullptr);
        EXPECT_EQ(ClassNameOf(*hull), v.hull);

        for (int section = 0; section < CharacterEnemyBoss2::kSectionCount; ++section) {
            SCOPED_TRACE(section);
            CharacterEnemyBoss2Core* core = sectionCore(*hull);
            ASSERT_NE(core, nullptr);
            EXPECT_EQ(core->hitPoints, 40);
            EXPECT_EQ(hull->sliding, 0);
            const std::int32_t passed = hull->sectionsBuilt;
            int frames = 0;
            // Fire until the core goes; the hull must start its slide on that very frame.
            while (sectionCore(*hull) == core && frames < 800) {
                fireAt(play, *core);
                ++frames;
            }
            ASSERT_LT(frames, 800) << "the core was destroyed by fire";
            EXPECT_EQ(hull->sectionsBuilt, passed + 1);
            EXPECT_EQ(hull->sliding, 1);
            EXPECT_LE(hull->advanceTimer, 1) << "the 900-frame timer starts again";
            EXPECT_EQ(hull->hitPoints, 1500);
            // The slide, then the next section's parts.
            play.game().player().invulnerable = 1 << 20;
            play.run(CharacterEnemyBoss2::kSlideFrames);
        }
        EXPECT_EQ(hull->IsLastSection(), 1) << "the final swing";
        auto heart = [&]() -> Character* {
            if (auto* m = findIn<Boss2MisoBody<CharacterEnemy>>(*hull)) return m;
            return findIn<Boss2MisoBody<CharacterEnemyBoss>>(*hull);
        };
        ASSERT_NE(heart(), nullptr);
        EXPECT_EQ(ClassNameOf(*heart()), v.mode == 3 ? "CharacterEnemyBoss2Miso" : "CharacterEnemyBoss2bMiso");
        int frames = 0;
        for (; heart() != nullptr && frames < 20000; ++frames) {
            // The miso's hit circle is 100 pixels around a point 10 left of and 30 above it.
            fireAt(play, *heart(), 60);
        }
        ASSERT_LT(frames, 20000);
        EXPECT_EQ(hull->hitPoints, 1500) << "the hull itself never loses a hit point";
        EXPECT_EQ(play.stage(), 2);
        play.game().player().invulnerable = 1 << 20;
        play.run(CharacterEnemyBoss2::kDyingFrames + 3);
        EXPECT_EQ(play.stage(), 3) << "sixty frames after the miso, the hull goes and the stage is cleared";
    }
}
