#include "play/PlayHarness.h"
#include <cxxabi.h>
#include <cstdlib>
#include <typeinfo>
#include "combat/CharacterEnemyBorn.h"
#include "input/InputButton.h"
#include "play/GameMain.h"
#include "records/GameMode.h"

// The service hub of the harness: when drawing is off, every frame is a skipped frame.
class PlayHarness::HarnessEnv : public Env {
public:
    HarnessEnv(Platform& platform, Log* log, bool drawing, MusicFactory music)
        : Env(platform, log, options(std::move(music))), drawing_(drawing) {}
    void Tick() override {
        Env::Tick();
        draw.SetSkip(!drawing_);
    }

private:
    static EnvOptions options(MusicFactory music) {
        EnvOptions o{false, nullptr, /*noSleep*/ true, /*openAudio*/ music != nullptr};
        o.music = std::move(music);
        return o;
    }
    bool drawing_;
};

namespace {
struct KeyOf {
    int button;
    InputDevices::Key key;
};
constexpr KeyOf kKeys[] = {
    {Right, InputDevices::KeyRight}, {Down, InputDevices::KeyDown},  {Left, InputDevices::KeyLeft},
    {Up, InputDevices::KeyUp},       {Button1, InputDevices::KeyZ}, {Button2, InputDevices::KeyX},
    {Button3, InputDevices::KeyC},
};

std::size_t countTree(Character& root) {
    std::size_t n = 0;
    for (Character* child : root.GetChildren()) n += 1 + countTree(*child);
    return n;
}
}  // namespace

std::string ClassNameOf(const Character& object) {
    const char* mangled = typeid(object).name();
    int status = 0;
    char* plain = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && plain ? plain : mangled;
    std::free(plain);
    return name;
}

PlayHarness::PlayHarness(std::int32_t gameMode, bool drawing, MusicFactory music)
    : env_((platform_.audioDevice().available = music != nullptr,
            std::make_unique<HarnessEnv>(platform_, &log_, drawing, std::move(music)))),
      game_(std::make_unique<GameMain>(env_.get(), &log_)),
      gameMode_(gameMode) {
    game_->PlayReplayFile("");
    game_->SetGameMode(gameMode);
    game_->schedule().setObserver([this](std::int32_t frame, const ScriptEntry& entry, Character* object) {
        std::string name = ClassNameOf(*object);
        if (auto* portal = dynamic_cast<CharacterEnemyBorn*>(object); portal && portal->child)
            name += "(" + ClassNameOf(*portal->child) + ")";
        spawns_.push_back({game_->info().GetStage(), frame, entry.kind, name, toPixel(entry.x), toPixel(entry.y)});
    });
}

PlayHarness::~PlayHarness() {
    // The scene after the play and the play itself go before the services they use.
    next_.reset();
    game_.reset();
}

void PlayHarness::step(std::uint8_t buttons) {
    if (ended()) return;
    for (const KeyOf& k : kKeys) platform_.inputDevices().keys[k.key] = (buttons & bit(k.button)) != 0;
    pressed_.push_back(buttons);
    Game* next = game_->Run();
    ++framesRun_;
    if (next) next_.reset(next);
}

void PlayHarness::run(int frames, std::uint8_t buttons) {
    for (int i = 0; i < frames && !ended(); ++i) step(buttons);
}

bool PlayHarness::selectStage(int stage) {
    // Every press is followed by a frame with the buttons up, so that each counts once.
    auto press = [this](std::uint8_t buttons) {
        step(buttons);
        step();
    };
    press(bit(Button3));
    press(bit(Up));  // from the first entry up to the last, "stage select"
    press(bit(Button1));
    for (int i = 1; i < stage; ++i) press(bit(Down));
    press(bit(Button1));
    return !ended() && this->stage() == stage && game_->schedule().stageFrame() < 2;
}

bool PlayHarness::runUntilEnd(int maxFrames, std::uint8_t buttons) {
    run(maxFrames, buttons);
    return ended();
}

Score PlayHarness::inputRecord() const {
    // A trace opens with a poll of nothing held, standing for the play's loading frame, which
    // reads no input; each later step is one poll.
    InputTrace trace;
    InputRun run = InputRun::fromBits(0, 0);
    for (std::size_t i = 1; i < pressed_.size(); ++i) {
        if (run.buttonBits() == pressed_[i]) {
            ++run.repeat;
            continue;
        }
        trace.append(run);
        run = InputRun::fromBits(0, pressed_[i]);
    }
    trace.append(run);
    Score record(nullptr);
    record.storeStage(1, std::move(trace), toFixed(240), toFixed(500));
    ScoreHeader header;
    header.version = replayVersionOf(gameMode_);
    header.gameMode = gameMode_;
    header.stages = 1;
    header.valid = 1;
    record.setHeader(header);
    return record;
}

Env& PlayHarness::env() { return *env_; }
GameInfo& PlayHarness::info() { return game_->info(); }
std::int32_t PlayHarness::stage() { return info().GetStage(); }
std::int32_t PlayHarness::lives() { return game_->player().GetLives(); }
std::int32_t PlayHarness::items() { return info().GetItemCount(); }
std::size_t PlayHarness::treeSize(int layer) { return countTree(game_->layer(layer)); }
