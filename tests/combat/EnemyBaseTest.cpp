#include <cstdlib>
#include "CombatFixture.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterShotEnemy.h"

namespace {

class EnemyBaseTest : public CombatFixture {
protected:
    CharacterEnemy* Gun(int px, int py) { return Spawn(new CharacterEnemy(&env, &log, &info), px, py); }
};

TEST_F(EnemyBaseTest, FiringOperationsBuildTheirBulletFamily) {
    using Fire = void (CharacterEnemy::*)(Fixed16, Fixed16, std::int32_t, std::int32_t);
    struct Case {
        Fire fire;
        std::int32_t base, hitFactor;
        bool upperTree;
    };
    const Case cases[] = {
        {&CharacterEnemy::FireBulletSmallA, 0x210, 2, true},
        {&CharacterEnemy::FireBulletSmallB, 0x214, 2, true},
        {&CharacterEnemy::FireBulletLargeA, 0x218, 8, false},
        {&CharacterEnemy::FireBulletLargeB, 0x21C, 8, false},
    };
    CharacterEnemy* gun = Gun(100, 100);
    for (const Case& c : cases) {
        (gun->*c.fire)(toFixed(50), toFixed(60), 256 * 300, -256 * 70);
        Character& tree = c.upperTree ? upper : lower;
        ASSERT_EQ(tree.GetChildren().size(), 1u) << c.base;
        auto* b = static_cast<CharacterShotEnemy*>(tree.GetChildren().front());
        EXPECT_EQ(b->spriteBase, c.base);
        EXPECT_EQ(b->GetHitFactor(), c.hitFactor);
        EXPECT_EQ(b->GetDamage(), 1);
        EXPECT_EQ(b->GetPosition(), (Point{toFixed(50), toFixed(60)}));
        EXPECT_EQ(b->vx, 300);
        EXPECT_EQ(b->vy, -70);
        tree.ClearChildren();
    }
}

TEST_F(EnemyBaseTest, NoBulletIsBornOutsideThePlayfield) {
    struct Case {
        Fixed16 x, y;
        bool fires;
    };
    const Case cases[] = {
        {toFixed(480), toFixed(600), true}, {0, 0, true},          {toFixed(480) + 1, toFixed(300), false},
        {toFixed(240), toFixed(600) + 1, false}, {-1, toFixed(300), false}, {toFixed(240), -1, false},
    };
    CharacterEnemy* gun = Gun(240, 300);
    for (const Case& c : cases) {
        gun->FireBulletSmallA(c.x, c.y, 0, 0);
        EXPECT_EQ(upper.GetChildren().size(), c.fires ? 1u : 0u) << c.x << "," << c.y;
        upper.ClearChildren();
    }
    // The accelerating bullet asks where the enemy is, not where the bullet starts.
    gun->FireBulletAccel(toFixed(700), toFixed(-50), 0, 0);
    EXPECT_EQ(lower.GetChildren().size(), 1u);
    gun->SetPosition(toFixed(481), toFixed(300));
    gun->FireBulletAccel(toFixed(240), toFixed(300), 0, 0);
    EXPECT_EQ(lower.GetChildren().size(), 1u);
}

TEST_F(EnemyBaseTest, DropScoreItemValueFollowsTheModeOfTheMoment) {
    struct Case {
        int mode, value;
    };
    const Case cases[] = {{0, 2}, {1, 3}, {2, 1}};
    for (const Case& c : cases) {
        if (c.mode == 1) info.BeginMode1();
        if (c.mode == 2) info.BeginMode2();
        Gun(100, 100)->DropScoreItem(toFixed(100), toFixed(100));
        auto* item = First<CharacterItemScore>(middle);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->value, c.value) << "mode " << c.mode;
        middle.ClearChildren();
    }
}

TEST_F(EnemyBaseTest, DropScoreItemDrawsTurnThenSpeedThenPush) {
    // Ship due right of the drop: the unit vector is (1, 0), so the turn shows in the angle.
    PlaceShip(300, 100);
    playrand::srand(7);
    const int r = playrand::rand() % 128;
    const int speed = playrand::rand() % 256 + 1200;
    const int push = playrand::rand() & 4095;
    const std::uint32_t after = playrand::state();
    playrand::srand(7);
    Gun(100, 100)->DropScoreItem(toFixed(100), toFixed(100));
    EXPECT_EQ(playrand::state(), after);
    auto* item = First<CharacterItemScore>(middle);
    ASSERT_NE(item, nullptr);
    const int turn = (64 - r) & 4095;
    EXPECT_EQ(item->vx, (256 * (env.sinCos.cosOf(turn) >> 8)) * speed >> 8);
    EXPECT_EQ(item->vy, (256 * (env.sinCos.sinOf(turn) >> 8)) * speed >> 8);
    EXPECT_EQ(item->ax, env.sinCos.cosOf(push) >> 10);
    EXPECT_EQ(item->ay, env.sinCos.sinOf(push) >> 10);
    EXPECT_EQ(item->GetPosition(), (Point{toFixed(100), toFixed(100)}));
}

TEST_F(EnemyBaseTest, BurstRingsFiftyItemsOnlyInTheOldVersion) {
    for (int mode : {2, 3, 4, 5}) {
        info.SetGameMode(mode);
        CharacterEnemy* e = Gun(200, 300);
        e->Burst(e->x, e->y);
        EXPECT_EQ(Count<CharacterEffect>(top), 50) << mode;
        const bool old = mode == 2 || mode == 3;
        ASSERT_EQ(Count<CharacterItemScore>(middle), old ? 50 : 0) << mode;
        if (old) {
            // Every item starts 30 pixels from the enemy (whole-pixel distances round outwards).
            for (Character* c : middle.GetChildren()) {
                const int d2 = squaredDistance(c->x, c->y, e->x, e->y);
                EXPECT_GE(d2, 28 * 28);
                EXPECT_LE(d2, 32 * 32);
            }
        }
        top.ClearChildren();
        middle.ClearChildren();
    }
}

TEST_F(EnemyBaseTest, HitFlashLastsTwoFramesAndUsesTheFlashSprite) {
    ShowSprites({0x200, 0x249});
    CharacterEnemy* e = Gun(100, 100);
    e->sprite = 0x200;
    e->SetFlashSprite(0x249);
    e->flashTimer = 2;
    bool flashShown[3];
    for (bool& shown : flashShown) {
        Frame();
        shown = DrawnAt(0x249, 100, 100);
    }
    EXPECT_TRUE(flashShown[0]);
    EXPECT_TRUE(flashShown[1]);
    EXPECT_FALSE(flashShown[2]);
    EXPECT_TRUE(DrawnAt(0x200, 100, 100));
    EXPECT_EQ(e->frame, 3);
}

TEST_F(EnemyBaseTest, HitTestsAreStrict) {
    CharacterEnemy* e = Gun(100, 100);
    EXPECT_TRUE(e->HitTestCircle({toFixed(103), toFixed(104)}, 26));
    EXPECT_FALSE(e->HitTestCircle({toFixed(103), toFixed(104)}, 25));
    EXPECT_TRUE(e->HitTestRect({toFixed(99), toFixed(99)}, {toFixed(101), toFixed(101)}));
    EXPECT_FALSE(e->HitTestRect({toFixed(100), toFixed(99)}, {toFixed(101), toFixed(101)}));
}

}  // namespace
