#include "play/GameMain.h"
#include <cstdio>
#include "app/Clock.h"
#include "app/Env.h"
#include "app/Log.h"
#include "app/Paths.h"
#include "app/Translation.h"
#include "combat/CharacterScorer.h"
#include "graphics/ImageLoader.h"
#include "music/BgmId.h"
#include "platform/Platform.h"
#include "play/ModeGauge.h"
#include "play/PlaySprites.h"
#include "play/Random.h"
#include "records/GameMode.h"
#include "records/GameScore.h"
#include "records/GameTitle.h"
#include "records/StageProgress.h"
#include "sound/SoundId.h"
#include "stages/SpawnFactory.h"
#include "stages/StageFactory.h"

namespace {
constexpr const char* kSource = "GameMain";
// Button3 within this many frames of closing the pause menu does not reopen it.
constexpr std::int32_t kPauseGuard = 60;
constexpr std::int32_t kPauseNeverClosed = -600;
// After a stage clear the guard is long past: the menu opens at once.
constexpr std::int32_t kPauseAfterClear = -9999;
constexpr std::int32_t kNormalFps = 60;

constexpr std::int32_t kItemIcon = 0x105;
constexpr std::int32_t kBackground = 0x300;
constexpr std::int32_t kJelly = 0x248;
constexpr std::int32_t kJellyFlashSurface = 2;

struct Picture {
    int resource;
    int surface;
};
constexpr Picture kPictures[] = {{106, 1}, {108, 2}, {109, 3}, {110, 4}};

constexpr const char* kEffects[kSoundSlots] = {
    "se_click.wav", "se_burst1.wav", "se_burst2.wav", "se_hit.wav",
    "se_charge.wav", "se_rupee.wav", "se_extend.wav", "se_shot.wav",
};
constexpr const char* kSongs[] = {
    "stage1.mid", "stage2.mid", "stage3.mid", "stage4.mid", "stage5.mid",
};
}  // namespace

GameMain::GameMain(Env* env, Log* log)
    : Game(env, log),
      backRoot_(env, log),
      player_(env, log, &info_),
      playerShotRoot_(env, log),
      middleRoot_(env, log),
      enemyRoot_(env, log, &info_),
      upperShotRoot_(env, log),
      lowerShotRoot_(env, log),
      topRoot_(env, log),
      statusFps_(env, log),
      statusItems_(env, log),
      viewer_(env, log),
      pauseMenu_(env, log),
      record_(log),
      options_(env, log),
      startTime_(clockMs()),
      practiceText_(env, log) {
    info_.SetEnemyRoot(&enemyRoot_);
    info_.SetPlayer(&player_);
    info_.SetPlayerShotTree(&playerShotRoot_);
    info_.SetUpperShotTree(&upperShotRoot_);
    info_.SetLowerShotTree(&lowerShotRoot_);
    info_.SetTopTree(&topRoot_);
    info_.SetMiddleTree(&middleRoot_);
    info_.SetBackTree(&backRoot_);
    info_.SetStage(1);
    LOG_WRITE(log, kSource, "●GameMain コンストラクタ");
    statusFps_.SetPosition(toFixed(8), toFixed(72));
    statusItems_.SetPosition(toFixed(24), toFixed(52));
    // Where a replay's caption goes: the bottom line, under the gauge.
    practiceText_.SetPosition(toFixed(4), toFixed(592));
    practiceText_.SetText("PRACTICE");
}

GameMain::~GameMain() {
    LOG_WRITE(log, kSource, "●GameMain デストラクタ");
    stage_.reset();
}

Character& GameMain::layer(int index) {
    Character* layers[] = {&backRoot_, &enemyRoot_,     &middleRoot_,    &playerShotRoot_,
                           &player_,   &lowerShotRoot_, &upperShotRoot_, &topRoot_};
    return *layers[index];
}

void GameMain::Load() {
    started = true;
    Draw& draw = env->draw;
    ImageLoader loader(log);
    for (const Picture& p : kPictures) loader.Load(p.resource, &draw, p.surface);
    DefinePlaySprites(draw);
    // The jelly's white flash is painted once into the free cell beside it (sprite 0x249).
    draw.SetSkip(false);
    draw.DrawSpriteFlash(toFixed(448), toFixed(256), kJelly, kJellyFlashSurface);
    for (int id = 0; id < kSoundSlots; ++id) env->sound.load(gamePaths().dataFile(kEffects[id]), id);
    for (int i = 0; i < 5; ++i) env->bgm.load(gamePaths().dataFile(kSongs[i]), Stage1Music + i);
}

void GameMain::ResetPlay() {
    info_.ResetItemCount();
    player_.SetLives(3);
    player_.SetPosition(toFixed(240), toFixed(500));
    frame = 0;
    schedule_.resetClock();
    pauseClosedAt_ = kPauseNeverClosed;
    enemyRoot_.KillChildren();
    upperShotRoot_.KillChildren();
}

void GameMain::PlayReplay(Score record) {
    record_ = std::move(record);
    const ScoreHeader header = record_.getHeader();
    if (header.version != replayVersionOf(header.gameMode)) {
        env->dialogs().messageBox(N_("アプリケーションのバージョンが違うため、リプレイを再生できません。"), N_("エラー"),
                                  Dialogs::Ok);
        info_.SetFlag(FlagLeavePlay, true);
    }
    info_.SetReplay(true);
    pauseMenu_.setShowReplayText(true);
}

void GameMain::PlayReplayFile(const std::string& fileName) {
    if (fileName.empty()) return;
    Score read(log);
    if (!read.load(fileName)) info_.SetFlag(FlagLeavePlay, true);
    PlayReplay(std::move(read));
}

void GameMain::SetGameMode(std::int32_t mode) { info_.SetGameMode(mode); }

Character* GameMain::CreateEnemy(std::int32_t kind) {
    return CreateSpawn(kind, info_.GetGameMode(), env, log, &info_, stage_.get());
}

void GameMain::SetReturnValue(std::int32_t value) { returnValue_ = value; }

void GameMain::SetPractice(std::int32_t stage) {
    practice_ = true;
    info_.SetStage(stage);
    // Unofficial as a pause-menu jump is: whatever clears it, the record is not kept.
    info_.SetFlag(FlagStageSelected, true);
}

bool GameMain::PlayIsOver() {
    // The lap is done once its last stage is cleared. A stage this build does not have ends the
    // play where it stands (short of the lap, so nothing is unlocked) instead of leaving the ship
    // alone on an empty field.
    return info_.GetStage() > lastStageOf(info_.GetGameMode()) || !stage_ || player_.GetLives() <= 0;
}

void GameMain::StartStage(std::int32_t) {
    // Past the last stage there is nothing to begin: the end-of-play check starts the scorer.
    if (info_.GetStage() > lastStageOf(info_.GetGameMode())) return;
    stage_.reset();
    stage_ = CreateStage(info_.GetGameMode(), info_.GetStage(), env, log, &info_);
    if (!stage_) {
        LOG_VALUE(log, kSource, "このステージはありません　ステージ", info_.GetStage());
        return;
    }
    stage_->Begin(schedule_.script());
    schedule_.Restart();
}

Game* GameMain::EndPlay() {
    Game* next = nullptr;
    {
        // How the play or replay ended, on one line: what nimbulon-replay verify says of the same
        // input, for the checks that compare a play across builds.
        CharacterPlayer* player = info_.GetPlayer();
        char line[128];
        std::snprintf(line, sizeof line, "%s終了 score %d stages %d lives %d frames %d",
                      info_.IsReplay() ? "リプレイ" : "プレイ", static_cast<int>(info_.GetItemCount()),
                      static_cast<int>(info_.GetStage()), player ? static_cast<int>(player->GetLives()) : 0,
                      static_cast<int>(playFrames_));
        LOG_WRITE(log, kSource, line);
    }
    if (!info_.IsReplay()) {
        auto* title = new GameTitle(env, log);
        // A play that jumped stages through the pause menu, or a practice, is unofficial and not
        // kept.
        if (!info_.GetFlag(FlagStageSelected) && !practice_) {
            // The trace that runs is closed under the stage it was started for: the tutorial
            // moves the stage number on by itself when it is passed, without a stage clear, and
            // its input must stay the first stage's for the replay to find it.
            record_.stageBoundary(tracedStage_, env->input, info_);
            record_.fillFromPlay(info_);
            ScoreHeader header = record_.getHeader();
            header.elapsedMs = static_cast<std::int32_t>(clockMs() - startTime_);
            header.frames = playFrames_;
            record_.setHeader(header);
            title->takeFinishedPlay(record_);
            StageProgress progress(StageProgress::defaultPath(), log);
            progress.Read();
            if (progress.note(info_.GetGameMode(), header.stages)) progress.Write();
        }
        title->setCursor(returnValue_);
        next = title;
    } else {
        auto* records = new GameScore(env, log, info_.GetGameMode());
        info_.SetReplay(false);
        env->input.endReplay();
        records->setCursor(returnValue_);
        next = records;
    }
    env->timer.setTargetFps(kNormalFps);
    env->timer.Reset();
    env->bgm.stop();
    return next;
}

void GameMain::FirstFrame() {
    Load();
    ResetPlay();
    StartStage(info_.GetStage());
    // Every play, recorded or replayed, draws the same random sequence.
    playrand::srand(1);
    record_.stageBoundary(info_.GetStage() - 1, env->input, info_);
    tracedStage_ = info_.GetStage();
}

bool GameMain::RunOptions() {
    // The options key is read every frame so that a press made while playing does not open the
    // page at the next pause; it opens it only while paused.
    const bool asked = env->input.takePressLive(kOptionsButton);
    if (!optionsOpen_ && !(asked && paused_ && started)) return false;
    if (!optionsOpen_) {
        optionsOpen_ = true;
        options_.open();
        // Neither recorded nor replayed while the page is open: a replay of this play never
        // sees it, and its frames are not the play's (nothing counts them).
        env->input.holdTrace(true);
    }
    env->draw.Clear(Draw::kBackBuffer);
    const bool stay = options_.step();
    env->Tick();
    if (!stay) {
        optionsOpen_ = false;
        env->input.holdTrace(false);
    }
    return true;
}

void GameMain::PaceReplay() {
    // The watcher's pace; fast forward while Button2 is held on the real device.
    const std::int32_t fps = viewer_.pace(env->input);
    if (env->timer.targetFps() != fps) {
        env->timer.setTargetFps(fps);
        env->timer.Reset();
    }
}

Game* GameMain::HeldReplayFrame() {
    Input& input = env->input;
    PaceReplay();
    input.holdTrace(true);
    env->Tick();
    input.holdTrace(false);
    if (input.isDownLive(Button3)) return EndPlay();
    viewer_.endFrame();
    return nullptr;
}

Game* GameMain::Run() {
    if (RunOptions()) return nullptr;
    // A paused replay: nothing of the play moves, not even its frame counts.
    if (started && info_.IsReplay() && viewer_.holds()) return HeldReplayFrame();
    ++frame;
    ++playFrames_;
    if (!started) {
        FirstFrame();
        return nullptr;
    }

    Input& input = env->input;
    if (info_.IsReplay()) {
        if (input.isDownLive(Button3)) return EndPlay();
        PaceReplay();
    }

    if (input.takePress(Button3) && frame - pauseClosedAt_ > kPauseGuard) {
        paused_ = true;
        pauseMenu_.Open(info_.GetGameMode());
    }
    if (paused_) {
        pauseMenu_.Run();
        if (!pauseMenu_.IsDone()) return nullptr;
        paused_ = false;
        pauseClosedAt_ = frame;
        ActOnPauseMenu();
        return nullptr;
    }

    if (info_.GetFlag(FlagLeavePlay)) return EndPlay();
    if (info_.GetFlag(FlagStageCleared)) ClearStage();

    // One scorer only, even when the last life and the last stage go in the same frame.
    if (PlayIsOver() && !info_.GetFlag(FlagScorerCreated)) {
        topRoot_.AddChildren(new CharacterScorer(env, log, &info_));
        info_.SetFlag(FlagScorerCreated, true);
    }

    env->Tick();
    info_.TickMode();
    env->draw.DrawSprite(toFixed(240), toFixed(300), kBackground + info_.GetMode());
    if (stage_) stage_->Step();

    backRoot_.UpdateTree();
    enemyRoot_.UpdateTree();
    middleRoot_.UpdateTree();
    playerShotRoot_.UpdateTree();
    player_.UpdateTree();
    info_.SetPlayerPosition(player_.x, player_.y);
    lowerShotRoot_.UpdateTree();
    upperShotRoot_.UpdateTree();
    topRoot_.UpdateTree();

    DrawStatus();
    DrawModeGauge();
    if (practice_) practiceText_.UpdateTree();
    // Last, over everything: the replay's caption, and the watcher's presses.
    if (info_.IsReplay()) viewer_.endFrame();

    schedule_.Run([this](std::int32_t kind) { return CreateEnemy(kind); }, &enemyRoot_);
    return nullptr;
}

void GameMain::ActOnPauseMenu() {
    switch (pauseMenu_.mainDecided()) {
        case GameDebugMenu::kReturnToTitle:
            info_.SetFlag(FlagLeavePlay, true);
            break;
        case GameDebugMenu::kStageSelect:
            topRoot_.ClearChildren();
            info_.ClearFlags();
            info_.SetFlag(FlagStageSelected, true);
            info_.SetStage(pauseMenu_.stageDecided());
            StartStage(info_.GetStage());
            ResetPlay();
            info_.EraseEnemyShots();
            break;
        default:
            break;  // back to playing
    }
}

void GameMain::ClearStage() {
    record_.stageBoundary(info_.GetStage(), env->input, info_);
    info_.SetStage(info_.GetStage() + 1);
    tracedStage_ = info_.GetStage();
    StartStage(info_.GetStage());
    info_.SetFlag(FlagStageCleared, false);
    frame = 0;
    pauseClosedAt_ = kPauseAfterClear;
}

void GameMain::DrawStatus() {
    // A play no one watches has no status line to format.
    if (env->draw.discards()) return;
    char text[64];
    std::snprintf(text, sizeof text, "%02d Skip %d CPU %03d%%", static_cast<int>(env->timer.measuredFps()),
                  static_cast<int>(env->timer.lastSkipRun()), static_cast<int>(env->timer.cpuLoad()));
    statusFps_.SetText(text);
    // The player may hide the frame-rate line (the options page); it is shown by default.
    if (env->settings.showFrameRate) statusFps_.UpdateTree();
    std::snprintf(text, sizeof text, "x%04d", static_cast<int>(info_.GetItemCount()));
    statusItems_.SetText(text);
    statusItems_.UpdateTree();
    env->draw.DrawSprite(toFixed(12), toFixed(53), kItemIcon);
}

void GameMain::DrawModeGauge() {
    const std::int32_t mode = info_.GetMode();
    if (mode != 1 && mode != 2) return;
    Draw& draw = env->draw;
    if (const auto bar = ModeGaugeBarOf(mode, info_.GetModeTimer())) {
        const std::int32_t flags = SpriteDef::kValid | SpriteDef::kColorKey;
        draw.DefineSprite(bar->srcTop, bar->srcTop + 8, 0, bar->width, bar->width, bar->width / 2, 8, 4, 1, flags,
                          bar->sprite);
        draw.DrawSprite(toFixed(bar->centreX), toFixed(kModeGaugeY), bar->sprite);
    }
    draw.DrawSprite(toFixed(240), toFixed(kModeGaugeY), kModeGaugeFrame);
}
