#pragma once
#include <cstdint>
#include "app/Fixed16.h"
#include "character/Character.h"

class GameInfo;
class CharacterShot;

// The base of every enemy, boss and boss part, and (as a plain object) the enemy root: it holds
// hit points and a hit flash, draws one sprite a frame, and carries the shared toolkit of hit
// tests, explosions, the five ways of firing a bullet and the score-item drop.
//
// Velocity arguments of the firing operations are in 1/256 of a Fixed16 unit per frame: callers
// pass a Fixed16 unit vector times a speed in 1/256 pixel, and the bullet moves (v >> 8) a frame.
class CharacterEnemy : public Character {
public:
    CharacterEnemy(Env* env, Log* log, GameInfo* gameInfo);

    // The default drawing step (sprite, or the flash while it runs); counts frame up.
    void Act() override;
    CharacterEnemy* AsEnemy() final { return this; }

    // The base asks every child in order and adds up the answers (the enemy root's job).
    virtual std::int32_t HitByShot(CharacterShot& shot);
    virtual bool HitTestCircle(Point centre, std::int32_t radiusSquared);
    virtual bool HitTestRect(Point min, Point max);
    virtual void SetHitPoints(std::int32_t hp);
    virtual void SetFlashSprite(std::int32_t spriteId);
    virtual void SpawnFlash(Fixed16 x, Fixed16 y);
    virtual void Explode(Fixed16 x, Fixed16 y);
    virtual void Burst(Fixed16 x, Fixed16 y);
    virtual void FireBulletSmallA(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy);
    virtual void FireBulletSmallB(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy);
    virtual void FireBulletLargeA(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy);
    virtual void FireBulletLargeB(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy);
    virtual void FireBulletAccel(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy);
    virtual void DropScoreItem(Fixed16 x, Fixed16 y);

    GameInfo* gameInfo;
    std::int32_t hitPoints = 0;
    std::int32_t flashTimer = 0;
    std::int32_t sprite = 0;
    std::int32_t frame = 0;
    std::int32_t flashSprite = 0;

protected:
    // The regular enemies' hit rule: inside radiusSquared of the shot while alive costs one hit
    // point and a two-frame flash; the last one runs Die. Returns 1 for a hit, else 0.
    std::int32_t HitWithin(CharacterShot& shot, std::int32_t radiusSquared);
    // The death of a regular enemy, run once when its hit points run out (alive is already false).
    virtual void Die() {}
    // A boss's death ring: item k (k = 0, 1, ... while k < count) on a circle of radius 30 around
    // the position, visiting the circle's 50 points in steps of 23.
    void DropItemRing(double count);

    // The game mode as this object's version reads it: the "b" classes test modes 4 and 5 where
    // the old ones test 2 and 3, so they subtract their shift of 2 before comparing.
    std::int32_t VersionMode();
    std::int32_t versionShift = 0;

    // A Fixed16 unit vector from (fromX, fromY) to the ship.
    Point AimAtPlayer(Fixed16 fromX, Fixed16 fromY);
    Point Unit(int angle);

private:
    void FireStraight(Fixed16 x, Fixed16 y, std::int32_t vx, std::int32_t vy, std::int32_t base,
                      std::int32_t hitFactor, Character* tree);
};

// Turn the unit vector u by the table entry (c, s) of angle: every factor shifted right by 8
// first, u' = (ux*c - uy*s, ux*s + uy*c).
Point TurnVector(Point u, Fixed16 c, Fixed16 s);
// u * speed with 32-bit wrapping, as the firing operations' callers build their velocities.
Point ScaleVector(Point u, std::int32_t speed);
