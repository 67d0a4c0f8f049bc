#include "stages/StageTutorial.h"
#include "app/Env.h"
#include "app/Translation.h"
#include "bosses/CharacterEnemyMaster.h"
#include "combat/Attach.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShotEnemy.h"
#include "music/BgmId.h"
#include "play/GameInfo.h"
#include "play/Random.h"
#include "stages/FinalBossSprites.h"

namespace {
constexpr std::int32_t kMentor = kFinalBossSprite;
// The mentor's face by bullet-size mode: 0 normal, 1 small, 2 large.
constexpr std::int32_t kFaces[] = {0x501, 0x503, 0x502};
constexpr Fixed16 kMentorX = toFixed(240);
constexpr Fixed16 kMentorY = toFixed(200);

constexpr const char* kIntro = N_("挑戦者よ、ヤツに勝ちたければ私の力を自在にあやつれなければならない。");
constexpr const char* kGrowLesson = N_("２ボタンを押し続けると、敵弾が大きくなる。試してみなさい。");
constexpr const char* kShrinkLesson = N_("そのあと２ボタンを押して離すと、敵弾が小さくなる。試してみなさい。");
constexpr const char* kPassed = N_("よろしい。これから、お前に託すだけの力があるか試す。全力で向かって来なさい。");
constexpr const char* kOnceMore = N_("もう一度。");

// The lesson clock's landmarks.
constexpr std::int32_t kIntroEnd = 660;        // the first text shows after 60 and before this
constexpr std::int32_t kGrowStart = 720;       // the grow text shows after this ...
constexpr std::int32_t kGrowEnd = 780;         // ... and before this
constexpr std::int32_t kGrowRepeatFrom = 778;  // without a stock the grow lesson repeats from here
constexpr std::int32_t kShrinkStart = 840;     // the wall falls; survival counts from here
constexpr std::int32_t kShrinkEnd = 900;
constexpr std::int32_t kShrinkRepeatFrom = 898;
constexpr std::int32_t kSurvive = 1200;  // frames to survive, and the time allowed to shrink
constexpr std::int32_t kClosing = 1800;  // after passing, the closing words show until this
constexpr std::int32_t kOnceMoreAfter = 60;
constexpr std::int32_t kRetryAfter = 240;
}  // namespace

void StageTutorial::Begin(Script& script) {
    script.clear();
    LoadImages();
}

CharacterEnemy* StageTutorial::CreateBoss() { return new CharacterEnemyMaster(env, log, gameInfo); }

void StageTutorial::LoadImages() {
    LoadBossBitmap(121);
    DefineFinalBossSprites(env->draw);
}

int StageTutorial::Music() const { return Title; }

void StageTutorial::Step() {
    ++t;
    DrawMentor();
    if (t <= 60) return;
    if (t < kIntroEnd) {
        Say(kIntro);
        return;
    }

    CharacterPlayer* ship = gameInfo->GetPlayer();
    const std::int32_t stock = ship ? ship->GetStock() : 0;
    const bool failed =
        gameInfo->GetFlag(FlagLifeLost) || (survived > kSurvive - 1 && !gameInfo->GetFlag(FlagEnteredSmall));
    if (failed) {
        Retry();
        return;
    }

    if (t >= kShrinkStart) ++survived;
    if (survived > kSurvive) {
        // Passed: the field stays clear while the mentor announces the real fight.
        gameInfo->EraseEnemyShots();
        Say(kPassed);
        if (survived > kClosing) {
            gameInfo->SetFlag(FlagLeavePlay, true);
            gameInfo->SetStage(2);
        }
        return;
    }

    if ((t & 31) == 0) FireRandomBullet();
    if (t > kGrowStart && t < kGrowEnd) Say(kGrowLesson);
    // The grow lesson repeats until a stock has been earned.
    if (stock == 0 && t > kGrowRepeatFrom && t < kShrinkStart) t = kGrowStart + 1;
    if (t > kShrinkStart && t < kShrinkEnd) Say(kShrinkLesson);
    // The shrink lesson repeats until the bullets have been shrunk.
    if (!gameInfo->GetFlag(FlagEnteredSmall) && t > kShrinkRepeatFrom) t = kShrinkStart + 1;
    if (t == kShrinkStart) FireWall();
}

void StageTutorial::Retry() {
    ++retry;
    if (retry > kOnceMoreAfter) Say(kOnceMore);
    if (retry <= kRetryAfter) return;
    CharacterPlayer* ship = gameInfo->GetPlayer();
    // A ship without lives is not taught again: its play is over, and clearing the flags now
    // would hide the scorer that is already closing it.
    if (ship && ship->GetLives() <= 0) return;
    retry = 0;
    survived = 0;
    t = ship && ship->GetStock() > 0 ? kShrinkStart - 1 : kGrowStart;
    gameInfo->ClearFlags();
}

void StageTutorial::DrawMentor() {
    Draw& draw = env->draw;
    draw.DrawSprite(kMentorX, kMentorY, kMentor);
    const std::int32_t mode = gameInfo->GetMode();
    draw.DrawSprite(kMentorX, kMentorY + toFixed(1), kFaces[mode >= 0 && mode <= 2 ? mode : 0]);
}

void StageTutorial::Say(const char* text) {
    // The player's language; the English lessons name the player's own key for button 2.
    const std::string shown = withButton2(tr(text), env->input.keyNameOf(Button2));
    env->draw.DrawTextBox(toFixed(30), toFixed(100), toFixed(450), toFixed(200), shown.c_str());
}

void StageTutorial::FireRandomBullet() {
    const int angle = playrand::rand() & 4095;
    auto* shot = AttachAt(gameInfo->GetLowerShotTree(),
                          new CharacterShotEnemy(env, log, gameInfo, bullet::kSmallA, bullet::kSmallHitFactor, 1),
                          kMentorX, kMentorY);
    // One pixel a frame.
    if (shot) shot->SetVelocity(env->sinCos.cosOf(angle), env->sinCos.sinOf(angle));
}

void StageTutorial::FireWall() {
    // Sixteen large bullets along the top edge, 32 pixels apart, sinking half a pixel a frame.
    for (int i = 0; i < 16; ++i) {
        auto* shot = AttachAt(gameInfo->GetLowerShotTree(),
                              new CharacterShotEnemy(env, log, gameInfo, bullet::kLargeA, bullet::kLargeHitFactor, 1),
                              toFixed(32 * i), 0);
        if (shot) shot->SetVelocity(0, toFixed(1) / 2);
    }
}
