#pragma once
#include <cstdint>
#include "app/Fixed16.h"
#include "character/Character.h"

class GameInfo;

enum PodFormation : int {
    PodTrailing = 0,
    PodFront = 1,
};

// The ship: moves and clamps itself to the playfield, fires with its pod, owns the lives and the
// one extend, and drives the player's half of the bullet size (hold Button2 for large bullets and
// a stock, tap it to spend the stock on small bullets).
class CharacterPlayer : public Character {
public:
    CharacterPlayer(Env* env, Log* log, GameInfo* gameInfo);

    void Act() override;
    // Places the ship and puts the pod on the same point.
    void SetPosition(Fixed16 x, Fixed16 y) override;

    virtual void Die();
    // Both cost a life (and answer true) on contact unless the ship is invulnerable.
    virtual bool HitTestCircle(Point centre, std::int32_t radiusSquared);
    virtual bool HitTestRect(Point min, Point max);
    virtual std::int32_t GetLives();
    virtual void SetLives(std::int32_t lives);
    virtual std::int32_t GetStock();
    virtual void FireMain(std::int32_t angle, std::int32_t speed);
    virtual void FirePod(std::int32_t speed);

    GameInfo* gameInfo;
    std::int32_t speed = 3;
    std::int32_t shotCooldown = 0;
    std::int32_t lives = 3;
    std::int32_t invulnerable = 0;
    std::int32_t stock = 0;
    std::int32_t button2Held = 0;
    std::int32_t stockCharge = 0;
    std::int32_t stockAnim = 0;
    std::int32_t frameCounter = 0;
    std::int32_t button1Held = 9999;
    Fixed16 podX = 0;
    Fixed16 podY = 0;
    bool extended = false;
    std::int32_t podFormation = PodTrailing;

private:
    void MovePod();
    void Move();
    void HandleButton1();
    void HandleButton2();
    void ChargeStock();
    void DrawShip();
};
