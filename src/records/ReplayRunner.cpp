#include "records/ReplayRunner.h"
#include <cstdio>
#include <map>
#include <vector>
#include "app/Env.h"
#include "app/Log.h"
#include "character/GameFont.h"
#include "combat/CharacterEnemy.h"
#include "combat/CharacterEnemyBorn.h"
#include "combat/CharacterItem.h"
#include "combat/CharacterPlayer.h"
#include "graphics/ImageLoader.h"
#include "platform/headless/HeadlessPlatform.h"
#include "play/GameMain.h"
#include "play/PlayHarness.h"
#include "records/GameMode.h"

namespace {
// Nothing is shown: a frame is the input step alone (no present, no pacing). Unless drawing is
// asked for, nothing is drawn either (no pictures decoded, no sprite, text or status line), which
// the logic never reads back; with drawing every frame is drawn as on screen.
class ReplayEnv : public Env {
public:
    ReplayEnv(Platform& platform, Log* log, bool drawing, bool sound)
        : Env(platform, log, options(drawing, sound)), drawing_(drawing) {}
    void Tick() override {
        input.update();
        draw.SetSkip(!drawing_);
    }

private:
    static EnvOptions options(bool drawing, bool sound) {
        EnvOptions o{false, nullptr, /*noSleep*/ true, /*openAudio*/ sound};
        o.discardDrawing = !drawing;
        return o;
    }
    bool drawing_;
};

std::string jsonText(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// What the event watcher remembers of an object between two frames. The object is the same one
// next frame when it is still at the same address with a counter that did not go back: a fresh
// object at a reused address starts its counter again.
struct Seen {
    std::int32_t counter;
    Fixed16 x, y;
    std::string className;
};

// Objects of one frame in tree order, with a lookup by address.
struct Tracked {
    std::vector<std::pair<Character*, Seen>> order;
    std::map<Character*, std::size_t> index;
    void add(Character* c, Seen seen) {
        index[c] = order.size();
        order.emplace_back(c, std::move(seen));
    }
    const Seen* find(Character* c) const {
        const auto it = index.find(c);
        return it == index.end() ? nullptr : &order[it->second].second;
    }
};

void collect(Character& root, std::vector<Character*>& out) {
    for (Character* child : root.GetChildren()) {
        out.push_back(child);
        collect(*child, out);
    }
}
}  // namespace

class ReplayRunner::Impl {
public:
    // The runner keeps its own copy, logging to its own log: the caller's record and log may go
    // before the run does.
    Impl(const Score& record, bool drawing, bool sound)
        : record_(record, &log_), env_(withAudio(platform_, sound), &log_, drawing, sound), game_(&env_, &log_) {
        game_.PlayReplay(record_);
        game_.SetGameMode(record_.getHeader().gameMode);
        if (drawing) {
            // The records scene the game watches replays from has loaded the font the play's
            // texts are drawn with.
            ImageLoader loader(&log_);
            LoadGameFont(env_.draw, loader);
        }
    }

    Result run(std::int64_t maxFrames, const EventSink& sink) {
        for (std::int64_t i = 0; i < maxFrames && !ended_; ++i) step(sink);
        return result();
    }

    bool step(const EventSink& sink) {
        if (ended_) return true;
        if (sink && !observing_) {
            observing_ = true;
            game_.schedule().setObserver([this](std::int32_t, const ScriptEntry& entry, Character* object) {
                // A portal names the enemy it carries: "CharacterEnemyBorn(CharacterEnemy2b)".
                std::string name = ClassNameOf(*object);
                if (auto* portal = dynamic_cast<CharacterEnemyBorn*>(object); portal && portal->child)
                    name.append("(").append(ClassNameOf(*portal->child)).append(")");
                char line[256];
                std::snprintf(line, sizeof line, ",\"class\":%s,\"kind\":%d,\"x\":%d,\"y\":%d", jsonText(name).c_str(),
                              entry.kind, toPixel(entry.x), toPixel(entry.y));
                pendingSpawns_.push_back(line);
            });
        }
        sink_ = &sink;
        // A frame that opens the menu, runs in it or closes it moves nothing in the play.
        const bool wasPaused = game_.paused();
        std::unique_ptr<Game> next(game_.Run());
        played_ = !wasPaused && !game_.paused();
        // The flag goes with the next stage select's flag reset, so it is caught as it is set.
        if (game_.info().GetFlag(FlagStageSelected)) stageSelected_ = true;
        if (sink) watch();
        if (next) {
            ended_ = true;
            const Result r = result();
            if (sink) emit("play_ended", ",\"score\":" + std::to_string(r.score) + ",\"lives\":" + std::to_string(r.lives));
        }
        sink_ = nullptr;
        return ended_;
    }

    Result result() {
        Result result;
        result.ended = ended_;
        result.score = game_.info().GetItemCount();
        result.stages = game_.info().GetStage();
        result.lives = game_.player().GetLives();
        result.frames = game_.playFrames();
        result.stageSelected = stageSelected_;
        result.shipX = toPixel(game_.player().x);
        result.shipY = toPixel(game_.player().y);
        result.played = played_;
        return result;
    }

    const Surface& picture() { return env_.draw.backBuffer(); }

    void renderSound(std::int16_t* out, int frames) { env_.mixer.render(out, frames); }

    ScoreHeader header() { return record_.getHeader(); }

private:
    // The effects sound only into a device that is open, and only with a screen: a headless one
    // of each, which nobody pulls from but the caller.
    static Platform& withAudio(HeadlessPlatform& platform, bool sound) {
        if (sound) {
            platform.audioDevice().available = true;
            platform.screen().open(false);
        }
        return platform;
    }

    void emit(const char* event, const std::string& fields) {
        (*sink_)("{\"frame\":" + std::to_string(game_.playFrames()) + ",\"stage\":" + std::to_string(lastStage_) +
                 ",\"event\":\"" + event + "\"" + fields + "}");
    }

    // Compares the play with the previous frame and reports what changed.
    void watch() {
        GameInfo& info = game_.info();
        CharacterPlayer& player = game_.player();
        if (!primed_) {
            primed_ = true;
            lastStage_ = info.GetStage();
            lastItems_ = info.GetItemCount();
            lastLives_ = player.GetLives();
            lastStock_ = player.GetStock();
            lastMode_ = info.GetMode();
        }
        for (const std::string& spawn : pendingSpawns_) emit("enemy_spawned", spawn);
        pendingSpawns_.clear();

        // Enemies that vanished inside the playfield were destroyed; the others flew off it.
        // Everything is reported in tree order, never in address order, so that every build
        // prints the same lines.
        std::vector<Character*> objects;
        collect(game_.enemyRoot(), objects);
        Tracked enemies;
        for (Character* c : objects)
            if (auto* enemy = dynamic_cast<CharacterEnemy*>(c)) enemies.add(c, {enemy->frame, c->x, c->y, ClassNameOf(*c)});
        for (const auto& [ptr, was] : lastEnemies_.order) {
            const Seen* now = enemies.find(ptr);
            if (now && now->counter >= was.counter && now->className == was.className) continue;
            const int px = toPixel(was.x), py = toPixel(was.y);
            if (px >= 0 && px < 480 && py >= 0 && py < 600)
                emit("enemy_destroyed", ",\"class\":" + jsonText(was.className) + ",\"x\":" + std::to_string(px) +
                                            ",\"y\":" + std::to_string(py));
        }
        lastEnemies_ = std::move(enemies);

        objects.clear();
        collect(*info.GetMiddleTree(), objects);
        Tracked items;
        for (Character* c : objects) {
            auto* item = dynamic_cast<CharacterItemScore*>(c);
            if (!item) continue;
            items.add(c, {item->age, c->x, c->y, {}});
            const Seen* before = lastItemObjects_.find(c);
            if (!before || item->age < before->counter)
                emit("item_dropped", ",\"value\":" + std::to_string(item->value) + ",\"x\":" + std::to_string(toPixel(c->x)) +
                                         ",\"y\":" + std::to_string(toPixel(c->y)));
        }
        lastItemObjects_ = std::move(items);

        if (info.GetItemCount() > lastItems_)
            emit("item_collected", ",\"value\":" + std::to_string(info.GetItemCount() - lastItems_) +
                                       ",\"items\":" + std::to_string(info.GetItemCount()));
        lastItems_ = info.GetItemCount();
        if (player.GetLives() < lastLives_) emit("ship_hit", ",\"lives\":" + std::to_string(player.GetLives()));
        if (player.GetLives() > lastLives_) emit("stock_gained", ",\"what\":\"life\",\"lives\":" + std::to_string(player.GetLives()));
        lastLives_ = player.GetLives();
        if (player.GetStock() != lastStock_)
            emit(player.GetStock() > lastStock_ ? "stock_gained" : "stock_spent",
                 ",\"what\":\"bullet_size\",\"stock\":" + std::to_string(player.GetStock()));
        lastStock_ = player.GetStock();
        if (info.GetMode() != lastMode_) emit("bullet_size_mode", ",\"mode\":" + std::to_string(info.GetMode()));
        lastMode_ = info.GetMode();
        if (info.GetStage() != lastStage_) {
            emit("stage_cleared", ",\"cleared\":" + std::to_string(lastStage_));
            lastStage_ = info.GetStage();
        }
    }

    HeadlessPlatform platform_;
    Log log_{""};
    Score record_;
    ReplayEnv env_;
    GameMain game_;
    const EventSink* sink_ = nullptr;
    std::vector<std::string> pendingSpawns_;
    Tracked lastEnemies_, lastItemObjects_;
    bool primed_ = false;
    bool ended_ = false;
    bool observing_ = false;
    bool stageSelected_ = false;
    bool played_ = false;
    std::int32_t lastStage_ = 0, lastItems_ = 0, lastLives_ = 0, lastStock_ = 0, lastMode_ = 0;
};

ReplayRunner::ReplayRunner(const Score& record, bool drawing, bool sound)
    : impl_(std::make_unique<Impl>(record, drawing, sound)) {}
ReplayRunner::~ReplayRunner() = default;

bool ReplayRunner::versionMatches() const {
    const ScoreHeader h = impl_->header();
    return h.version == replayVersionOf(h.gameMode);
}

ReplayRunner::Result ReplayRunner::run(std::int64_t maxFrames, const EventSink& sink) { return impl_->run(maxFrames, sink); }
bool ReplayRunner::step(const EventSink& sink) { return impl_->step(sink); }
ReplayRunner::Result ReplayRunner::result() { return impl_->result(); }
const Surface& ReplayRunner::picture() { return impl_->picture(); }
void ReplayRunner::renderSound(std::int16_t* out, int frames) { impl_->renderSound(out, frames); }

bool ReplayRunner::matches(const ScoreHeader& recorded, const Result& r) {
    return r.ended && recorded.score == r.score && recorded.stages == r.stages && recorded.lives == r.lives &&
           recorded.frames == r.frames;
}
