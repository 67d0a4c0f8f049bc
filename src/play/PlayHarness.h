#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "app/Env.h"
#include "app/Log.h"
#include "platform/headless/HeadlessPlatform.h"
#include "records/Score.h"

class Character;
class Game;
class GameMain;
class GameInfo;

// A play without a window: a headless service hub that never sleeps and has no audio, and a
// play scene of one game mode driven frame by frame with the buttons the caller holds. Tests,
// the benchmark and tools observe the play through it.
class PlayHarness {
public:
    // Bit b of a button mask holds InputButton b.
    static constexpr std::uint8_t bit(int button) { return static_cast<std::uint8_t>(1u << button); }

    // One spawn of the schedule: the stage and its frame (0 = the stage's first frame), the kind
    // and the class built (a portal shows the class it carries: "CharacterEnemyBorn(...)").
    struct Spawn {
        std::int32_t stage;
        std::int32_t frame;
        std::int32_t kind;
        std::string className;
        std::int32_t x = 0;  // where the entry placed it, pixels
        std::int32_t y = 0;
        friend bool operator==(const Spawn&, const Spawn&) = default;
    };

    // drawing: false skips every frame's drawing, as the frame timer does under load (the logic
    // runs alike either way). music: when given, the effects and this music mix into
    // env().mixer, which the caller pulls as the audio device would.
    explicit PlayHarness(std::int32_t gameMode, bool drawing = true, MusicFactory music = nullptr);
    ~PlayHarness();
    PlayHarness(const PlayHarness&) = delete;
    PlayHarness& operator=(const PlayHarness&) = delete;

    // One frame of the play with these buttons held on the keyboard (Z, X, C for Button1..3).
    // Does nothing once the play has ended.
    void step(std::uint8_t buttons = 0);
    void run(int frames, std::uint8_t buttons = 0);
    // Jumps to a stage the way a player does: pause, "stage select", the stage's entry (the
    // second-lap modes 3 and 5 offer it). True when the play then runs that stage.
    bool selectStage(int stage);
    // Steps until the play ends or maxFrames have run; true when it ended.
    bool runUntilEnd(int maxFrames, std::uint8_t buttons = 0);

    // The play scene returned the scene that follows it.
    bool ended() const { return next_ != nullptr; }
    Game* nextScene() { return next_.get(); }

    GameMain& game() { return *game_; }
    GameInfo& info();
    Env& env();
    HeadlessPlatform& platform() { return platform_; }
    std::int32_t stage();
    std::int32_t lives();
    std::int32_t items();
    std::int32_t framesRun() const { return framesRun_; }
    // Objects in a layer (0..7 in walking order), counting every descendant but not the root.
    std::size_t treeSize(int layer);
    const std::vector<Spawn>& spawns() const { return spawns_; }
    // The buttons of every step so far as a replay: all of them in the first stage's trace, the
    // way a play that jumps stages through the pause menu is replayed (the game keeps no record
    // of such a play). The header names the mode with its version and one stage; the result is
    // left at zero for the caller to fill in.
    Score inputRecord() const;

private:
    class HarnessEnv;

    HeadlessPlatform platform_;
    Log log_{""};
    std::unique_ptr<HarnessEnv> env_;
    std::unique_ptr<GameMain> game_;
    std::unique_ptr<Game> next_;
    std::vector<Spawn> spawns_;
    std::vector<std::uint8_t> pressed_;  // the buttons of every step
    std::int32_t gameMode_;
    std::int32_t framesRun_ = 0;
};

// The name of an object's class, for spawn logs ("CharacterEnemyPotb").
std::string ClassNameOf(const Character& object);
