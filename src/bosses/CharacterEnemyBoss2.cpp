#include "bosses/CharacterEnemyBoss2.h"
#include "app/Env.h"
#include "bosses/Boss2Parts.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShot.h"
#include "play/GameInfo.h"

namespace {
constexpr std::int32_t kHullSprite = 0x500;
constexpr std::int32_t kWreckSprite = 0x506;
constexpr std::int32_t kHullEndSprite = 0x509;

// The armour, corners relative to the hull's position: while sections remain, and once every
// section has passed (the second block then reaches down around the wreck).
constexpr int kArmour[4][4] = {
    {-960, -48, 480, -28}, {-920, -28, -520, 5}, {-440, -28, -40, 5}, {40, -28, 440, 5}};
constexpr int kPassedArmour2[4] = {-920, -28, -460, 77};

template <class Old, class Current, class... Args>
CharacterEnemy* Versioned(bool current, Env* env, Log* log, GameInfo* info, Args... args) {
    if (current) return new Current(env, log, info, args...);
    return new Old(env, log, info, args...);
}
}  // namespace

CharacterEnemyBoss2::CharacterEnemyBoss2(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2(env, log, gameInfo, 0) {}

CharacterEnemyBoss2::CharacterEnemyBoss2(Env* env, Log* log, GameInfo* gameInfo, std::int32_t shift)
    : CharacterEnemy(env, log, gameInfo) {
    versionShift = shift;
    hitPoints = 1500;  // never reduced: only the miso can be destroyed
    sprite = kHullSprite;
}

CharacterEnemyBoss2b::CharacterEnemyBoss2b(Env* env, Log* log, GameInfo* gameInfo)
    : CharacterEnemyBoss2(env, log, gameInfo, 2) {}

std::int32_t CharacterEnemyBoss2::IsLastSection() { return finalSwing; }

void CharacterEnemyBoss2::AdvanceSection() {
    advanceTimer = 0;
    if (sectionsBuilt < sectionCount && !sliding) {
        ++sectionsBuilt;
        sliding = 1;
        if (sectionsBuilt == sectionCount) finalSwing = 1;
    }
}

void CharacterEnemyBoss2::BuildSection() {
    KillChildren();
    const bool current = Current();
    auto pot = [&](int dx, int dy) {
        auto* p = static_cast<Boss2Part*>(
            Versioned<CharacterEnemyBoss2Pot, CharacterEnemyBoss2bPot>(current, env, log, gameInfo));
        p->SetOffset(toFixed(dx), toFixed(dy));
        AddChildren(p);
    };
    auto core = [&](int dx, int dy, std::int32_t hp) {
        auto* c = static_cast<Boss2Part*>(
            Versioned<CharacterEnemyBoss2Core, CharacterEnemyBoss2bCore>(current, env, log, gameInfo, hp));
        c->SetOffset(toFixed(dx), toFixed(dy));
        AddChildren(c);
    };
    AddChildren(Versioned<CharacterEnemyBoss2Bottom, CharacterEnemyBoss2bBottom>(current, env, log, gameInfo));
    pot(170, 20);
    pot(-170, 20);
    core(0, -18, 40);
    if (sectionsBuilt < sectionCount - 1) {
        pot(-310, 20);
        pot(-650, 20);
        // Slides under the next section's 40-point core: it only has to outlast one section.
        core(-480, -18, 999);
    } else {
        pot(-310, 20);
        if (current) {
            auto* miso = new CharacterEnemyBoss2bMiso(env, log, gameInfo);
            miso->SetOffset(toFixed(-543), toFixed(136));
            AddChildren(miso);
        } else {
            auto* miso = new CharacterEnemyBoss2Miso(env, log, gameInfo);
            miso->SetOffset(toFixed(-543), toFixed(136));
            AddChildren(miso);
        }
        core(-765, 72, 40);
    }
}

std::int32_t CharacterEnemyBoss2::Notify(std::int32_t kind, std::int32_t value) {
    if (value == 0) return 0;
    if (kind == 0) AdvanceSection();
    if (kind == 1) dying = 1;
    return 0;
}

void CharacterEnemyBoss2::Place() {
    SinCosTable& table = env->sinCos;
    // A gentle sway; the slide carries the hull 480 pixels right over 480 frames, so the next
    // section's parts take the old ones' places; a last swing once every section has passed.
    x = toFixed(240) + table.cosOf((frame % 300) * 4096 / 300) * 30 +
        (toFixed(1) - table.cosOf(slideTimer * 4096 / kSwingFrames)) * 240;
    if (sectionsBuilt <= sectionCount) x += (toFixed(1) - table.cosOf(finalSwingTimer * 4096 / kSwingFrames)) * 35;
    y = toFixed(40) + table.sinOf((frame % 420) * 4096 / 420) * 8;
}

void CharacterEnemyBoss2::ArmourRect(int index, Point& min, Point& max) const {
    const int* r = (index == 1 && sectionsBuilt >= sectionCount) ? kPassedArmour2 : kArmour[index];
    min = {x + toFixed(r[0]), y + toFixed(r[1])};
    max = {x + toFixed(r[2]), y + toFixed(r[3])};
}

bool CharacterEnemyBoss2::InArmour(Fixed16 px, Fixed16 py) const {
    for (int i = 0; i < 4; ++i) {
        Point min, max;
        ArmourRect(i, min, max);
        if (min.x < px && px < max.x && min.y < py && py < max.y) return true;
    }
    return false;
}

void CharacterEnemyBoss2::Act() {
    if (entryCounter < kEntryFrames) {
        ++entryCounter;
        return;
    }
    // The first section comes with the hull's first move.
    if (frame == 0) BuildSection();
    if (sliding) {
        if (++slideTimer >= kSlideFrames) {
            sliding = 0;
            if (sectionsBuilt < sectionCount) {
                slideTimer = 0;
                BuildSection();
            }
        }
    }
    if (finalSwing && ++finalSwingTimer >= kSwingFrames) finalSwing = 0;

    Place();
    ++frame;

    Draw& draw = env->draw;
    if (sectionsBuilt >= sectionCount) {
        draw.DrawSprite(x - toFixed(580), y + toFixed(104), kWreckSprite);
        draw.DrawSprite(x - toFixed(290), y, kHullEndSprite);
        draw.DrawSprite(x, y, kHullSprite);
        draw.DrawSprite(x + toFixed(480), y, kHullSprite);
    } else {
        for (int dx : {-960, -480, 0, 480}) draw.DrawSprite(x + toFixed(dx), y, kHullSprite);
    }

    if (CharacterPlayer* player = gameInfo->GetPlayer()) {
        for (int i = 0; i < 4; ++i) {
            Point min, max;
            ArmourRect(i, min, max);
            player->HitTestRect(min, max);
        }
    }

    if (dying && ++dyingTimer > kDyingFrames) {
        alive = false;
        gameInfo->SetFlag(FlagStageCleared, true);
        gameInfo->EraseEnemyShots();
        Explosions();
    }

    if (++advanceTimer >= kAdvanceFrames) AdvanceSection();
}

void CharacterEnemyBoss2::Explosions() {
    // Along the top and bottom edges, where the two hulls ran.
    for (int px = 0; px <= 480; px += 40) {
        Explode(toFixed(px), toFixed(20));
        Explode(toFixed(px + 20), toFixed(54));
        Explode(toFixed(px), toFixed(580));
        Explode(toFixed(px + 20), toFixed(546));
    }
}

std::int32_t CharacterEnemyBoss2::HitByShot(CharacterShot& shot) {
    if (entryCounter < kEntryFrames || !alive) return 0;
    // The armour swallows the shot without harm; elsewhere it may reach a part.
    if (InArmour(shot.x, shot.y)) return 1;
    return CharacterEnemy::HitByShot(shot);
}
