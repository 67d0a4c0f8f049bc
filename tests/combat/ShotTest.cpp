#include "CombatFixture.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterEnemy1.h"
#include "combat/CharacterShot.h"
#include "combat/CharacterShotBorn.h"
#include "combat/CharacterShotEnemy.h"

namespace {

class ShotTest : public CombatFixture {
protected:
    // Puts the play in a bullet-size mode the way the play does it.
    void EnterMode(int mode) {
        if (mode == 0) {
            info.TickMode();
            info.TickMode();
        } else if (mode == 1) {
            info.BeginMode1();
        } else {
            info.BeginMode2();
        }
    }
    CharacterShotEnemy* Bullet(std::int32_t base, std::int32_t hitFactor, int dx, int dy) {
        auto* b = new CharacterShotEnemy(&env, &log, &info, base, hitFactor, 1);
        upper.AddChildren(b);
        b->SetPosition(player->x + toFixed(dx), player->y + toFixed(dy));
        return b;
    }
};

TEST_F(ShotTest, HitRadiusFollowsTheBulletSize) {
    // For each mode and hit factor: the radius squared, a spot just inside (hit) and one exactly
    // on it (miss).
    struct Case {
        int mode, hitFactor, radiusSquared, inX, inY, onX, onY;
    };
    const Case cases[] = {
        {0, 2, 32, 5, 2, 4, 4},   {0, 8, 128, 11, 2, 8, 8},   {1, 2, 8, 2, 1, 2, 2},
        {1, 8, 32, 5, 2, 4, 4},   {2, 2, 128, 11, 2, 8, 8},   {2, 8, 512, 12, 19, 16, 16},
    };
    for (const Case& c : cases) {
        EnterMode(c.mode);
        ASSERT_EQ(info.GetModeValueB() * c.hitFactor, c.radiusSquared);
        player->lives = 3;
        player->invulnerable = 0;
        auto* miss = Bullet(0x210, c.hitFactor, c.onX, c.onY);
        miss->Act();
        EXPECT_TRUE(miss->alive) << "mode " << c.mode << " factor " << c.hitFactor;
        EXPECT_EQ(player->GetLives(), 3);
        auto* hit = Bullet(0x210, c.hitFactor, c.inX, -c.inY);
        hit->Act();
        EXPECT_FALSE(hit->alive) << "mode " << c.mode << " factor " << c.hitFactor;
        EXPECT_EQ(player->GetLives(), 2);
        upper.ClearChildren();
        top.ClearChildren();
    }
}

TEST_F(ShotTest, InvulnerableShipLetsTheBulletFlyOn) {
    player->invulnerable = 50;
    auto* b = Bullet(0x218, 8, 0, 0);
    b->Act();
    EXPECT_TRUE(b->alive);
    EXPECT_EQ(player->GetLives(), 3);
}

TEST_F(ShotTest, BulletsInFlightChangePictureWithTheMode) {
    ShowSprites({0x218, 0x258, 0x298});
    auto* b = Bullet(0x218, 8, 100, -200);
    Frame();
    EXPECT_TRUE(DrawnAt(0x218, 340, 300));
    info.BeginMode2();
    Frame();
    EXPECT_TRUE(DrawnAt(0x258, 340, 300));
    info.BeginMode1();
    Frame();
    EXPECT_TRUE(DrawnAt(0x298, 340, 300));
    EXPECT_TRUE(b->alive);
}

TEST_F(ShotTest, EraseLeavesADriftingVanishEffectOfTheBulletsOwnColour) {
    struct Case {
        std::int32_t base;
        int effectFirstSprite;  // -1: vanishes without effect
    };
    const Case cases[] = {{0x210, 0x410}, {0x214, 0x414}, {0x218, 0x418}, {0x21C, 0x41C}, {0x200, -1}};
    for (const Case& c : cases) {
        auto* b = Bullet(c.base, 8, 50, -50);
        b->SetVelocity(toFixed(2), -toFixed(1));
        b->Erase();
        EXPECT_FALSE(b->alive);
        auto* effect = First<CharacterEffect>(top);
        if (c.effectFirstSprite < 0) {
            EXPECT_EQ(effect, nullptr);
            continue;
        }
        ASSERT_NE(effect, nullptr) << c.base;
        EXPECT_EQ(effect->spriteBase, c.effectFirstSprite);
        EXPECT_EQ(effect->GetPosition(), b->GetPosition());
        EXPECT_EQ(effect->vx, toFixed(2));
        EXPECT_EQ(effect->vy, -toFixed(1));
        top.ClearChildren();
        upper.ClearChildren();
    }
}

TEST_F(ShotTest, EraseEnemyShotsTakesBothLayersUpperFirst) {
    auto* upperBullet = Bullet(0x210, 2, 100, -100);
    auto* lowerBullet = new CharacterShotEnemy(&env, &log, &info, 0x218, 8, 1);
    lower.AddChildren(lowerBullet);
    info.EraseEnemyShots();
    EXPECT_FALSE(upperBullet->alive);
    EXPECT_FALSE(lowerBullet->alive);
    ASSERT_EQ(top.GetChildren().size(), 2u);
    EXPECT_EQ(static_cast<CharacterEffect*>(top.GetChildren().front())->spriteBase, 0x410);
    EXPECT_EQ(static_cast<CharacterEffect*>(top.GetChildren().back())->spriteBase, 0x418);
}

TEST_F(ShotTest, BulletsLeaveSixtyFourPixelsOutAndStillHitOnTheirLastFrame) {
    auto* far = Bullet(0x210, 2, 0, 0);
    far->SetPosition(toFixed(544), toFixed(100));
    far->Act();
    EXPECT_TRUE(far->alive);  // exactly 544 stays
    far->SetVelocity(1, 0);
    far->Act();
    EXPECT_FALSE(far->alive);
    // Crossing the ship on the frame it leaves: still a hit (large bullets, 22.6 pixels).
    info.BeginMode2();
    player->y = toFixed(650);
    auto* last = Bullet(0x218, 8, 0, 0);
    last->SetPosition(player->x, toFixed(605));
    last->SetVelocity(0, toFixed(60));  // lands at y 665, beyond 664
    last->Act();
    EXPECT_FALSE(last->alive);
    EXPECT_EQ(player->GetLives(), 2);
}

TEST_F(ShotTest, PlayerShotsLeaveSixteenPixelsBeyondTheEdges) {
    struct Case {
        int x, y;
        bool stays;
    };
    const Case cases[] = {{-16, 300, true}, {-17, 300, false}, {496, 300, true}, {497, 300, false},
                          {240, -16, true}, {240, -17, false}, {240, 600, true}, {240, 601, false}};
    for (const Case& c : cases) {
        CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
        shot.SetPosition(toFixed(c.x), toFixed(c.y));
        shot.Act();
        EXPECT_EQ(shot.alive, c.stays) << c.x << "," << c.y;
    }
}

TEST_F(ShotTest, PlayerShotHitsEveryOverlappingEnemyOnce) {
    auto* a = Spawn(new CharacterEnemy1b(&env, &log, &info), 100, 100);
    auto* b = Spawn(new CharacterEnemy1b(&env, &log, &info), 110, 100);
    auto* shot = new CharacterShotPlayer(&env, &log, &info, 0x118, 8, 1);
    playerShots.AddChildren(shot);
    shot->SetPosition(toFixed(105), toFixed(150));
    shot->SetVelocity(0, -toFixed(16));
    shot->Act();  // at (105, 134): 34 pixels from both, out of reach
    EXPECT_TRUE(shot->alive);
    shot->Act();  // at (105, 118): within 30 pixels of both
    EXPECT_FALSE(shot->alive);
    EXPECT_EQ(a->hitPoints, 2);
    EXPECT_EQ(b->hitPoints, 2);
    EXPECT_EQ(a->flashTimer, 2);
    EXPECT_EQ(Count<CharacterEffect>(top), 1);  // one hit spark
}

TEST_F(ShotTest, EnemyRootWithoutEnemiesAnswersZero) {
    CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
    shot.SetPosition(toFixed(240), toFixed(300));
    EXPECT_EQ(enemyRoot.HitByShot(shot), 0);
    shot.Act();
    EXPECT_TRUE(shot.alive);
}

TEST_F(ShotTest, AcceleratingBulletEasesToTheDirectVelocity) {
    CharacterEnemy gun(&env, &log, &info);
    gun.SetPosition(toFixed(240), toFixed(100));
    const std::int32_t v = 65536 * 512;  // 2 pixels a frame
    gun.FireBulletAccel(gun.x, gun.y, 0, v);
    auto* b = First<CharacterShotEnemy2>(lower);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->vy, 0);
    EXPECT_EQ(b->spriteBase, 0x21C);
    b->Act();
    EXPECT_EQ(b->vy, (2 * v >> 8) >> 6);
    for (int i = 0; i < 300; ++i) b->Act();
    EXPECT_NEAR(b->vy, v >> 8, (v >> 8) / 100);
}

TEST_F(ShotTest, BornRingFiresCountBulletsSixtyFourFramesAfterASlowFlash) {
    auto* born = Spawn(new CharacterShotBorn(&env, &log, &info, 0, 256, 12), 240, 200);
    Frame();
    ASSERT_EQ(Count<CharacterEffect>(top), 1);
    EXPECT_EQ(First<CharacterEffect>(top)->shift, 4);  // the slow flash
    Frames(62);
    EXPECT_EQ(lower.GetChildren().size(), 0u);
    EXPECT_TRUE(born->alive);
    Frame();
    ASSERT_EQ(lower.GetChildren().size(), 12u);
    // Bullet i flies at angle 30 * i degrees (table step 4096 / 12 = 341).
    int i = 0;
    for (Character* c : lower.GetChildren()) {
        auto* b = static_cast<CharacterShotEnemy*>(c);
        const int a = i * 4096 / 12;
        EXPECT_EQ(b->vx, env.sinCos.cosOf(a)) << i;
        EXPECT_EQ(b->vy, env.sinCos.sinOf(a)) << i;
        ++i;
    }
    CharacterShotPlayer shot(&env, &log, &info, 0x118, 8, 1);
    CharacterShotBorn none(&env, &log, &info, 0, 256, 0);
    none.SetPosition(toFixed(240), toFixed(200));
    shot.SetPosition(none.x, none.y);
    EXPECT_EQ(none.HitByShot(shot), 0);
    for (int f = 0; f < 64; ++f) none.Act();
    EXPECT_EQ(lower.GetChildren().size(), 12u);
}

}  // namespace
