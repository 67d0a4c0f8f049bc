#include "records/GamePractice.h"
#include <string>
#include "app/Env.h"
#include "play/GameMain.h"
#include "records/GameMode.h"
#include "records/GameTitle.h"
#include "records/StageProgress.h"

namespace {
struct Lap {
    std::int32_t mode;
    const char* name;
    bool needsFirstLap;  // offered once the first lap has been cleared, as on the title
};
// In the title's order.
constexpr Lap kLaps[] = {
    {ModeSecondLap, "2nd lap", true},
    {ModeFirstLap, "1st lap", false},
    {ModeSecondLapOld, "2nd lap [old]", true},
    {ModeFirstLapOld, "1st lap [old]", false},
};
constexpr int kFirstRow = 150;
constexpr int kRowStep = 18;
constexpr std::int32_t kBackground = 768;
}  // namespace

GamePractice::GamePractice(Env* env, Log* log) : Game(env, log), menu_(env, log), heading_(env, log) {
    heading_.SetPosition(toFixed(100), toFixed(120));
    heading_.SetText("practice: choose a stage");
    buildMenu();
}

void GamePractice::buildMenu() {
    StageProgress progress(StageProgress::defaultPath(), log);
    progress.Read();
    menu_.ClearItems();
    int y = kFirstRow;
    auto add = [&](const std::string& text, std::int32_t id) {
        auto* item = new CharacterString(env, log);
        item->SetText(text);
        item->SetPosition(toFixed(100), toFixed(y));
        menu_.AddItem(item, id);
        y += kRowStep;
    };
    for (const Lap& lap : kLaps) {
        if (lap.needsFirstLap && !env->save.shortCourseCleared) continue;
        for (std::int32_t stage = 1; stage <= progress.reached(lap.mode); ++stage)
            add(std::string(lap.name) + "  stage " + std::to_string(stage), entryId(lap.mode, stage));
    }
    add("back", kBack);
}

Game* GamePractice::backToTitle() {
    auto* title = new GameTitle(env, log);
    title->setCursor(GameTitle::kPracticeEntry);
    return title;
}

Game* GamePractice::Run() {
    ++frame;
    if (!started) {
        Load();
        env->input.update();
        env->input.clearPresses();  // the press that opened the page
    }
    env->Tick();
    env->draw.DrawSprite(toFixed(240), toFixed(300), kBackground);
    heading_.UpdateTree();
    menu_.UpdateTree();

    const std::int32_t decided = menu_.GetDecided();
    if (decided == kBack || decided < 0) return backToTitle();
    if (decided == 0) return nullptr;
    env->timer.setTargetFps(60);
    env->timer.Reset();
    auto* play = new GameMain(env, log);
    play->PlayReplayFile("");
    play->SetGameMode(decided / 10);
    play->SetPractice(decided % 10);
    play->SetReturnValue(GameTitle::kPracticeEntry);
    return play;
}
