// Stage 3's pair of bosses in whole plays, reached through the pause menu's stage select.
#include <gtest/gtest.h>
#include <cstdlib>
#include <vector>
#include "bosses/CharacterEnemyBoss3.h"
#include "combat/CharacterPlayer.h"
#include "play/GameInfo.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "support/TestEnv.h"

namespace {
constexpr std::uint8_t kFire = PlayHarness::bit(Button1);
constexpr int kBossFrame = 1550;

// The faces in the enemy tree, in tree order.
std::vector<CharacterEnemy*> faces(PlayHarness& play) {
    std::vector<CharacterEnemy*> out;
    for (Character* c : play.game().enemyRoot().GetChildren()) {
        auto* e = dynamic_cast<CharacterEnemy*>(c);
        if (e && e->alive && (dynamic_cast<CharacterEnemyBoss3*>(c) || dynamic_cast<CharacterEnemyBoss3b*>(c)))
            out.push_back(e);
    }
    return out;
}

// One frame with the ship parked under a face's core, firing; the ship cannot be hit.
void fireAt(PlayHarness& play, const CharacterEnemy& face) {
    play.game().player().invulnerable = 1 << 20;
    play.game().player().SetPosition(face.x, face.y + toFixed(160));
    play.step(kFire);
}
}  // namespace

TEST(Boss3Play, TwoBossesInOneFrameEachWithItsOwnHitPointsAndTheStageEndsWithTheSecond) {
    struct Version {
        std::int32_t mode;
        const char* face;
        std::int32_t hitPoints;
    };
    for (const Version v : {Version{3, "CharacterEnemyBoss3", 800}, Version{5, "CharacterEnemyBoss3b", 650}}) {
        SCOPED_TRACE(v.mode);
        TempWorkDir dir;
        PlayHarness play(v.mode, false);
        play.run(30);
        ASSERT_TRUE(play.selectStage(3));
        for (int f = 0; f < kBossFrame + 2; ++f) {
            play.game().player().invulnerable = 1 << 20;
            play.step();
        }
        int bossSpawns = 0;
        for (const auto& s : play.spawns())
            if (s.stage == 3 && s.kind == 7 && s.frame == kBossFrame && s.className == v.face) ++bossSpawns;
        EXPECT_EQ(bossSpawns, 2) << "both bosses are built in the same frame";
        std::vector<CharacterEnemy*> two = faces(play);
        ASSERT_EQ(two.size(), 2u);
        ASSERT_NE(two[0], two[1]);
        EXPECT_EQ(two[0]->x, two[1]->x);
        EXPECT_EQ(two[0]->hitPoints, v.hitPoints);
        EXPECT_EQ(two[1]->hitPoints, v.hitPoints);

        // Each wanders to targets of its own: they part, and a shot at one leaves the other whole.
        int frames = 0;
        // Apart far enough that shots from under one pass beside the other.
        while (std::abs(two[0]->x - two[1]->x) < toFixed(100) && frames < 3000) {
            play.game().player().invulnerable = 1 << 20;
            play.step();
            ++frames;
        }
        ASSERT_LT(frames, 3000) << "the two bosses part";
        CharacterEnemy* first = two[0];
        CharacterEnemy* second = two[1];
        const std::int32_t secondBefore = second->hitPoints;
        for (int i = 0; i < 40; ++i) fireAt(play, *first);
        EXPECT_LT(first->hitPoints, v.hitPoints);
        EXPECT_EQ(second->hitPoints, secondBefore) << "hit points of its own";

        // The first defeat only marks itself; the stage goes on with the other boss.
        for (frames = 0; faces(play).size() == 2 && frames < 20000; ++frames) fireAt(play, *first);
        ASSERT_EQ(faces(play).size(), 1u);
        EXPECT_EQ(faces(play)[0], second);
        EXPECT_TRUE(play.info().GetFlag(FlagFirstBoss3Down));
        play.run(2);
        EXPECT_EQ(play.stage(), 3) << "one boss is still fighting";

        for (frames = 0; !faces(play).empty() && frames < 20000; ++frames) fireAt(play, *faces(play)[0]);
        ASSERT_TRUE(faces(play).empty());
        play.run(2);
        EXPECT_EQ(play.stage(), 4) << "both are gone: the stage is cleared";
        EXPECT_FALSE(play.info().GetFlag(FlagScorerCreated)) << "the lap goes on to stage 4";
    }
}
