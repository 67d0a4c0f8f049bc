#include "stages/StageTutorial.h"
#include "app/Env.h"
#include "app/Log.h"
#include "app/Translation.h"
#include "bosses/CharacterEnemyMaster.h"
#include "combat/Attach.h"
#include "combat/CharacterPlayer.h"
#include "combat/CharacterShotEnemy.h"
#include "music/BgmId.h"
#include "play/GameInfo.h"
#include "play/Random.h"
#include "input/Input.h"
#include <cstdlib>
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

// The first page, before the mentor's own lessons, and the last line.
constexpr const char* kPage[StageTutorial::kPageLines] = {
    N_("まずは移動から。方向キーで自機を動かしてみなさい。"),
    N_("１ボタンでショットを撃つ。撃ってみなさい。"),
    N_("３ボタンでいつでも一時停止できる。メニューからタイトルへも戻れる。押してみなさい。"),
    N_("左上の印は残りの自機（上の段）とストック（下の段）。敵弾を大きくするとストックが貯まり、小さくするときに使う。"),
    N_("敵を倒すと得点アイテムが出る。その価値は敵弾の大きさで決まる。大きいとき１、普通２、小さいとき３。大きくしてストックを貯め、小さくして稼ぎなさい。"),
    N_("小さくするのは、弾の壁が迫ってきたとき。小さい弾は５秒しかもたない。早まってはならない。"),
};
constexpr const char* kWaitForWall = N_("弾の壁が迫るまで待ってから小さくしなさい。");
constexpr const char* kComplete = N_("チュートリアル完了。１ボタンでタイトルへ戻る。");
constexpr std::int32_t kMoveLine = 0, kFireLine = 1, kPauseLine = 2;
// A line shows this long before Button1 moves past it, so one press never skips two lines.
constexpr std::int32_t kLineAtLeast = 30;
// Pixels the ship must travel for the moving line.
constexpr std::int32_t kMoveDistance = 48;
constexpr std::int32_t kTutorialLives = 3;

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

const char* StageTutorial::PageLine(std::int32_t line) { return line >= 0 && line < kPageLines ? kPage[line] : ""; }
const char* StageTutorial::CompleteLine() { return kComplete; }
const char* StageTutorial::WaitForWallLine() { return kWaitForWall; }

void StageTutorial::ReadPresses() {
    const Input& input = env->input;
    const bool down1 = input.playHeld(Button1), down3 = input.playHeld(Button3);
    pressed1_ = down1 && !held1_;
    pressed3_ = down3 && !held3_;
    held1_ = down1;
    held3_ = down3;
}

void StageTutorial::KeepLives() {
    CharacterPlayer* ship = gameInfo->GetPlayer();
    if (ship && ship->GetLives() < kTutorialLives) ship->SetLives(kTutorialLives);
}

void StageTutorial::RunPage() {
    CharacterPlayer* ship = gameInfo->GetPlayer();
    if (pageClock == 0 && ship) lineX_ = ship->x, lineY_ = ship->y;
    ++pageClock;
    Say(kPage[page]);
    bool done = pageClock > kLineAtLeast && pressed1_;
    if (page == kMoveLine && ship)
        done = done || std::abs((ship->x - lineX_) >> 16) + std::abs((ship->y - lineY_) >> 16) >= kMoveDistance;
    if (page == kFireLine) done = done || pressed1_;  // firing is what it asks
    if (page == kPauseLine) done = done || pressed3_;  // the pause opens on the next frame
    if (!done) return;
    ++page;
    pageClock = 0;
    if (page == kPageLines) LOG_WRITE(log, "StageTutorial", "チュートリアル：最初のページを終了");
}

void StageTutorial::Step() {
    ReadPresses();
    KeepLives();
    DrawMentor();
    if (page < kPageLines) {
        RunPage();
        return;
    }
    ++t;
    if (t <= 60) return;
    if (t < kIntroEnd) {
        Say(kIntro);
        // Read already: on to the lessons.
        if (pressed1_ && t > 60 + kLineAtLeast) t = kIntroEnd - 1;
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
        // Passed: the field stays clear while the mentor announces the real fight (Button1 moves
        // on), then "tutorial complete" stays until Button1 ends the play.
        gameInfo->EraseEnemyShots();
        if (survived > kClosing) survived = kClosing + 1;  // the clock has nothing more to count
        if (complete == 0) {
            Say(kPassed);
            if (survived > kClosing || (pressed1_ && survived > kSurvive + kLineAtLeast)) complete = 1;
            return;
        }
        ++complete;
        Say(kComplete);
        if (complete == 2) LOG_WRITE(log, "StageTutorial", "チュートリアル完了");
        if (pressed1_ && complete > kLineAtLeast) {
            gameInfo->SetFlag(FlagLeavePlay, true);
            gameInfo->SetStage(2);
        }
        return;
    }

    if ((t & 31) == 0) FireRandomBullet();
    if (t > kGrowStart && t < kGrowEnd) Say(kGrowLesson);
    // The grow lesson repeats until a stock has been earned.
    if (stock == 0 && t > kGrowRepeatFrom && t < kShrinkStart) t = kGrowStart + 1;
    if (t > kShrinkStart && t < kShrinkEnd) {
        Say(kShrinkLesson);
        if (!gameInfo->GetFlag(FlagEnteredSmall)) Hint(kWaitForWall);
    }
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
    // The player's language; the English lessons name the player's own keys for the buttons.
    const Input& input = env->input;
    std::string shown = withButton2(tr(text), input.keyNameOf(Button2));
    shown = withButton(withButton(shown, 1, input.keyNameOf(Button1)), 3, input.keyNameOf(Button3));
    env->draw.DrawTextBox(toFixed(30), toFixed(100), toFixed(450), toFixed(200), shown.c_str());
}

void StageTutorial::Hint(const char* text) {
    env->draw.DrawTextBox(toFixed(30), toFixed(230), toFixed(450), toFixed(280), tr(text));
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
