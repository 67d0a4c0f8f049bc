#include "bosses/Boss2Parts.h"
#include "app/Env.h"
#include "bosses/CharacterEnemyBoss2.h"
#include "combat/Attach.h"
#include "combat/CharacterEffect.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"

namespace {
constexpr std::int32_t kPotSprite = 0x501;
constexpr std::int32_t kCoreSprite = 0x502;
constexpr std::int32_t kBottomSprite = 0x503;
constexpr std::int32_t kInvertedPotSprite = 0x504;
constexpr std::int32_t kInvertedCoreSprite = 0x505;
constexpr std::int32_t kMisoSprite = 0x507;
constexpr std::int32_t kMisoFlashSprite = 0x508;

constexpr int kDown = 1024;
constexpr int kUp = 3072;

template <class T>
T* AddPart(Character* parent, T* part, int dx, int dy) {
    part->SetOffset(toFixed(dx), toFixed(dy));
    parent->AddChildren(part);
    return part;
}
}  // namespace

// ---- a part at an offset ----

Boss2Part::Boss2Part(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift) : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
}

void Boss2Part::Follow() {
    if (Character* parent = GetParent()) {
        const Point p = parent->GetPosition();
        x = p.x + offsetX;
        y = p.y + offsetY;
    }
}

// ---- pot ----

CharacterEnemyBoss2Pot::CharacterEnemyBoss2Pot(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2Pot(env, log, gameInfo, 0) {}

CharacterEnemyBoss2Pot::CharacterEnemyBoss2Pot(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : Boss2Part(env, log, gameInfo, shift) {
    hitPoints = 10;
    sprite = kPotSprite;
}

CharacterEnemyBoss2bPot::CharacterEnemyBoss2bPot(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2Pot(env, log, gameInfo, 2) {}

void CharacterEnemyBoss2Pot::Invert() {
    inverted = true;
    sprite = kInvertedPotSprite;
}

void CharacterEnemyBoss2Pot::Act() {
    Follow();
    CharacterEnemy::Act();
    // Charges during 32 frames of every 64 and drains all the time: a shot now and then.
    if (frame & 32) charge += 3;
    if (charge > 0) --charge;
    if (charge > 55) {
        charge -= 20;
        Fire();
    }
}

void CharacterEnemyBoss2Pot::Fire() {
    if (inverted && VersionMode() == 2) return;
    // The lower hull's pots are the point mirror of the upper ones: up instead of down, with the
    // side guns swapped.
    const int side = inverted ? -16 : 16;
    const Fixed16 gx = x, gy = inverted ? y - toFixed(10) : y + toFixed(10);
    const int ahead = inverted ? kUp : kDown;
    SpawnFlash(gx, gy);
    Point v = ScaleVector(Unit(ahead), 400);
    FireBulletLargeB(gx, gy, v.x, v.y);
    for (int speed : {450, 410}) {
        v = ScaleVector(Unit(ahead - 64), speed);
        FireBulletSmallB(gx + toFixed(side), gy, v.x, v.y);
        v = ScaleVector(Unit(ahead + 64), speed);
        FireBulletSmallB(gx - toFixed(side), gy, v.x, v.y);
    }
}

std::int32_t CharacterEnemyBoss2Pot::HitByShot(CharacterShot& shot) { return HitWithin(shot, 900); }

void CharacterEnemyBoss2Pot::Die() {
    Explode(x, y);
    DropScoreItem(x, y);
    DropScoreItem(x, y);
}

// ---- core ----

CharacterEnemyBoss2Core::CharacterEnemyBoss2Core(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp)
    : CharacterEnemyBoss2Core(env, log, gameInfo, hp, 0) {}

CharacterEnemyBoss2Core::CharacterEnemyBoss2Core(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp,
                                                 std::int32_t shift)
    : Boss2Part(env, log, gameInfo, shift) {
    hitPoints = hp;
    sprite = kCoreSprite;
}

CharacterEnemyBoss2bCore::CharacterEnemyBoss2bCore(Env* env, Log* log, GameInfo* gameInfo, std::int32_t hp)
    : CharacterEnemyBoss2Core(env, log, gameInfo, hp, 2) {}

void CharacterEnemyBoss2Core::Invert() { sprite = kInvertedCoreSprite; }

void CharacterEnemyBoss2Core::Act() {
    Follow();
    CharacterEnemy::Act();
    if (CharacterPlayer* player = gameInfo->GetPlayer()) player->HitTestCircle({x, y}, 256);
}

std::int32_t CharacterEnemyBoss2Core::HitByShot(CharacterShot& shot) {
    if (!alive || squaredDistance(shot.x, shot.y, x, y) >= 900) return 0;
    flashTimer = 2;
    if (--hitPoints >= 1) return 1;
    alive = false;
    Explode(x, y);
    for (int i = 0; i < 5; ++i) DropScoreItem(x, y);
    if (Character* parent = GetParent()) parent->Notify(0, 1);
    return 1;
}

// ---- lower hull ----

CharacterEnemyBoss2Bottom::CharacterEnemyBoss2Bottom(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2Bottom(env, log, gameInfo, 0) {}

CharacterEnemyBoss2Bottom::CharacterEnemyBoss2Bottom(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    sprite = kBottomSprite;
    const bool current = shift != 0;
    auto pot = [&](int dx, int dy) {
        CharacterEnemyBoss2Pot* p = current ? new CharacterEnemyBoss2bPot(env, log, gameInfo)
                                            : new CharacterEnemyBoss2Pot(env, log, gameInfo);
        AddPart(this, p, dx, dy)->Invert();
    };
    auto core = [&](int dx, int dy) {
        CharacterEnemyBoss2Core* c = current ? new CharacterEnemyBoss2bCore(env, log, gameInfo, 40)
                                             : new CharacterEnemyBoss2Core(env, log, gameInfo, 40);
        AddPart(this, c, dx, dy)->Invert();
    };
    pot(170, -20);
    pot(-170, -20);
    pot(310, -20);
    pot(650, -20);
    core(0, 18);
    core(480, 18);
}

CharacterEnemyBoss2bBottom::CharacterEnemyBoss2bBottom(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2Bottom(env, log, gameInfo, 2) {}

void CharacterEnemyBoss2Bottom::ArmourRect(int index, Point& min, Point& max) const {
    // The point mirror of the hull's first layout.
    static constexpr int kRects[4][4] = {
        {-480, 28, 960, 48}, {520, -5, 920, 28}, {-440, -5, -40, 28}, {40, -5, 440, 28}};
    const int* r = kRects[index];
    min = {x + toFixed(r[0]), y + toFixed(r[1])};
    max = {x + toFixed(r[2]), y + toFixed(r[3])};
}

void CharacterEnemyBoss2Bottom::Act() {
    // The point reflection of the hull through the centre of the field.
    if (Character* hull = GetParent()) {
        const Point p = hull->GetPosition();
        x = toFixed(480) - p.x;
        y = toFixed(600) - p.y;
    }
    Draw& draw = env->draw;
    for (int dx : {960, 480, 0, -480}) draw.DrawSprite(x + toFixed(dx), y, sprite);
    CharacterPlayer* player = gameInfo->GetPlayer();
    for (int i = 0; i < 4 && player; ++i) {
        Point min, max;
        ArmourRect(i, min, max);
        player->HitTestRect(min, max);
    }
}

std::int32_t CharacterEnemyBoss2Bottom::HitByShot(CharacterShot& shot) {
    // Armour swallows the shot; elsewhere it may reach a pot or a core.
    for (int i = 0; i < 4; ++i) {
        Point min, max;
        ArmourRect(i, min, max);
        if (min.x < shot.x && shot.x < max.x && min.y < shot.y && shot.y < max.y) return 1;
    }
    return CharacterEnemy::HitByShot(shot);
}

std::int32_t CharacterEnemyBoss2Bottom::Notify(std::int32_t kind, std::int32_t value) {
    Character* hull = GetParent();
    return hull ? hull->Notify(kind, value) : 0;
}

// ---- miso ----

template <class Base>
Boss2MisoBody<Base>::Boss2MisoBody(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift, std::int32_t hp)
    : Base(env, log, gameInfo) {
    this->versionShift = shift;
    this->hitPoints = hp;
    this->sprite = kMisoSprite;
    this->flashSprite = kMisoFlashSprite;
}

template <class Base>
void Boss2MisoBody<Base>::Act() {
    if (Character* parent = this->GetParent()) {
        const Point p = parent->GetPosition();
        this->x = p.x + offsetX;
        this->y = p.y + offsetY;
    }
    Base::Act();
    switch (phase) {
    case 0: Phase0(); break;
    case 1: Phase1(); break;
    case 2: Phase2(); break;
    default: Phase3(); break;
    }
    if (CharacterPlayer* player = this->gameInfo->GetPlayer()) {
        player->HitTestCircle({this->x - toFixed(20), this->y - toFixed(35)}, 4900);
    }
}

template <class Base>
std::int32_t Boss2MisoBody<Base>::HitByShot(CharacterShot& shot) {
    if (!this->alive) return 0;
    if (squaredDistance(shot.x, shot.y, this->x - toFixed(10), this->y - toFixed(30)) >= 10000) return 0;
    this->flashTimer = 2;
    if (--this->hitPoints >= 1) return 1;
    if (Character* hull = this->GetParent()) hull->Notify(1, 1);
    this->gameInfo->EraseEnemyShots();
    this->env->sound.play(Burst1, false);
    this->alive = false;
    for (int i = 0; i < 40; ++i) {
        AttachAt(this->gameInfo->GetTopTree(), new CharacterEffect(this->env, this->log, EffectExplosion), this->x,
                 this->y);
    }
    DeathRing();
    return 1;
}

template <class Base>
void Boss2MisoBody<Base>::Phase0() {
    // Silent until the hull swings after its last section.
    auto* hull = dynamic_cast<CharacterEnemyBoss2*>(this->GetParent());
    if (hull != nullptr && hull->IsLastSection() != 0) {
        phase = 1;
        this->frame = 0;
    }
}

template <class Base>
void Boss2MisoBody<Base>::Gun(Fixed16 gx, Fixed16 gy, int angle, int speed, bool large) {
    this->SpawnFlash(gx, gy);
    const Point v = ScaleVector(this->Unit(angle), speed);
    if (large) {
        this->FireBulletLargeA(gx, gy, v.x, v.y);
    } else {
        this->FireBulletSmallA(gx, gy, v.x, v.y);
    }
}

template <class Base>
void Boss2MisoBody<Base>::Phase1() {
    const std::int32_t frame = this->frame;
    const std::int32_t mode = this->VersionMode();
    if (frame > phase1End) {
        phase = 2;
        this->frame = 0;
        return;
    }
    if ((mode == 2 && frame % 32 != 0) || (mode == 3 && frame % 16 != 0)) return;
    // Four guns swinging to and fro.
    const int s = (this->env->sinCos.cosOf(16 * frame) * 512) >> 16;
    const Fixed16 x = this->x, y = this->y;
    Gun(x - toFixed(50), y + toFixed(16), 136 - s, 200, false);
    Gun(x + toFixed(20), y + toFixed(36), 1638 + s, 250, false);
    Gun(x - toFixed(20), y + toFixed(26), 955 + s, 360, true);
    Gun(x + toFixed(60), y + toFixed(16), 819 - s, 390, true);
}

template <class Base>
void Boss2MisoBody<Base>::Phase2() {
    if (this->hitPoints < 251) {
        phase = 3;
        this->frame = 0;
        return;
    }
    const std::int32_t frame = this->frame;
    const std::int32_t mode = this->VersionMode();
    if ((mode == 2 && frame % 8 != 0) || (mode == 3 && frame % 4 != 0)) return;
    // Bursts of five-way fans from a wandering muzzle while the power is high.
    const int p = 30 + ((30 * this->env->sinCos.cosOf(16 * frame)) >> 16);
    if (p <= 45) return;
    const Fixed16 fx = this->x + toFixed((27 * frame) % 180 - 90);
    const Fixed16 fy = this->y + toFixed((16 * frame) % 50);
    this->SpawnFlash(fx, fy);
    const int base = (333 * frame) % 2048;
    for (int offset : {-272, -136, 0, 136, 272}) {
        const Point v = ScaleVector(this->Unit(base + offset), 5 * p + 300);
        this->FireBulletLargeA(fx, fy, v.x, v.y);
    }
}

template <class Base>
void Boss2MisoBody<Base>::HalfRing(int first, int end, int step, int radius, int speed) {
    const Fixed16 cx = this->x - toFixed(5), cy = this->y - toFixed(10);
    SinCosTable& table = this->env->sinCos;
    for (int a = first; a < end; a += step) {
        const Fixed16 bx = cx + table.cosOf(a) * radius, by = cy + table.sinOf(a) * radius;
        const Point v = ScaleVector(this->Unit(a), speed);
        this->FireBulletLargeA(bx, by, v.x, v.y);
    }
}

template <class Base>
void Boss2MisoBody<Base>::Phase3() {
    // Downward half rings from around the heart, two rhythms crossing.
    const int step = this->VersionMode() == 2 ? 204 : 136;
    const std::int32_t frame = this->frame;
    if (frame % 27 == 0) HalfRing(-272, 2041, step, 50, 500);
    if (frame % 39 == 0) HalfRing(-204, 1973, step, 70, 400);
}

template class Boss2MisoBody<CharacterEnemy>;
template class Boss2MisoBody<CharacterEnemyBoss>;

CharacterEnemyBoss2Miso::CharacterEnemyBoss2Miso(Env* env, Log* log, GameInfo* gameInfo)
    : Boss2MisoBody<CharacterEnemy>(env, log, gameInfo, 0, 700) {}

CharacterEnemyBoss2bMiso::CharacterEnemyBoss2bMiso(Env* env, Log* log, GameInfo* gameInfo)
    : Boss2MisoBody<CharacterEnemyBoss>(env, log, gameInfo, 2, gameInfo->GetGameMode() == 5 ? 800 : 450) {
    phase1End = 1019;
    StartCurrentVersion(gameInfo->GetGameMode() == 5 ? 51.0 : 41.0);
}

void CharacterEnemyBoss2bMiso::DeathRing() {
    DropItemRing(StopBonusTimer());
}
