#include "http/UploadService.h"
#include <ctime>
#include "core/PlayPath.h"
#include "core/TextRules.h"
#include "storage/Moderation.h"
#include "http/Passwords.h"
#include "storage/RankingList.h"
#include "storage/Storage.h"
#include "http/UploadLimits.h"

namespace {
UploadService::Reply reply(char code, std::string detail, std::int32_t score = 0) { return {code, std::move(detail), score}; }
}  // namespace

UploadService::UploadService(Storage& storage, const ReplayChecker& checker, RankingCache* cache, int workers,
                             std::size_t queueLimit, UploadLimits* limits)
    : storage_(storage), checker_(checker), cache_(cache), limits_(limits), queueLimit_(queueLimit) {
    for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

UploadService::~UploadService() { stop(); }

UploadService::Reply UploadService::decide(const UploadRequest& request) {
    try {
        // The password first: it is cheaper than the simulation and settles most refusals.
        std::optional<std::string> registered;
        std::string exhausted;
        // The name's registration: '1' when it is banned or the password differs. An empty hash
        // (a reset by an older server, which let the next upload set it) is matched by nobody. An
        // address that has guessed wrong too often (at this name, or at any) is answered as a
        // wrong password is, whatever the password: the answer tells a guesser nothing, and costs
        // no hash; the owner, from an address of its own, is not concerned.
        auto refusal = [&]() -> const char* {
            registered = storage_.passwordHashOf(request.name);
            if (registered && *registered == kBannedHash) return "banned name";
            if (registered && registered->empty()) return "no password since a reset: the operator sets one";
            if (registered && limits_) {
                if (const char* why = limits_->passwordsExhausted(request.name, request.address)) {
                    exhausted = std::string(why) + ": not checked";
                    return exhausted.c_str();
                }
            }
            if (registered && !verified_.matches(request.name, *registered, request.digest)) {
                if (limits_) limits_->wrongPassword(request.name, request.address);
                return "password differs";
            }
            return nullptr;
        };
        if (const char* why = refusal()) return reply('1', why);

        // A play already stored needs no second simulation: its owner is answered as if it were
        // stored again, anyone else is refused.
        if (const std::optional<Storage::Owner> owner = storage_.ownerOf(request.inputKey)) {
            // "ren" is the player stored as "Ren".
            if (textrules::nameKey(owner->name) == textrules::nameKey(request.name))
                return reply('0', "the same play as play " + std::to_string(owner->play));
            return reply('2', "a copy of play " + std::to_string(owner->play) + ", stored under another name");
        }

        // Only plays to be checked count against the name, and only with its password, so nobody
        // else can use up its owner's allowance and a play resent after a lost answer is free.
        if (limits_ && !limits_->uploadAs(request.name)) return reply('2', "too many uploads of the name this hour");
        // A name is a row for good: the names one address may bring are counted before the
        // simulation, so that a refused one costs nothing.
        if (!registered && limits_ && !limits_->newNameFrom(request.address))
            return reply('2', "too many new names from the address today");

        const ResimVerdict verdict = checker_.check(request.replay);
        if (!verdict.matches()) {
            char why[160];
            std::snprintf(why, sizeof why, "re-simulation: %s (got score %d stages %d lives %d frames %d) %s",
                          verdict.kind == ResimVerdict::Mismatch   ? "mismatch"
                          : verdict.kind == ResimVerdict::Unranked ? "a stage was chosen from the pause menu"
                                                                   : "failed",
                          verdict.score,
                          verdict.stages, verdict.lives, verdict.frames, verdict.detail.c_str());
            return reply('2', why);
        }

        // A play long enough to be compared is stored only with its path: without one, a dressed
        // copy would pass unseen.
        if (verdict.path.empty() && verdict.frames >= PathLikeness::kMinFrames)
            return reply('2', "re-simulation: the check gave no path");

        Storage::Play play;
        play.name = request.name;
        play.mode = request.header.gameMode;
        play.version = request.header.version;
        play.score = verdict.score;
        play.stage = verdict.stages;
        play.lives = verdict.lives;
        play.frames = verdict.frames;
        play.comment = request.comment;
        play.replay = request.replay;
        play.inputKey = request.inputKey;
        play.chart = verdict.chart;
        play.path = verdict.path;
        play.uploadedAt = static_cast<std::int64_t>(std::time(nullptr));
        // A name registered by someone else between the look-up and the transaction shows up as
        // a conflict; then the password is checked against that registration.
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (registered) {
                play.passwordHash = *registered;
            } else {
                play.passwordHash = passwords::hash(request.digest);
                if (play.passwordHash.empty()) return reply('2', "password hashing failed");
            }
            std::int64_t original = 0;
            switch (storage_.store(play, &original)) {
                case Storage::Outcome::Copy:
                    // Its input, or what happens in it: the same path.
                    return reply('2', "a copy of play " + std::to_string(original) + ", stored under another name");
                case Storage::Outcome::Stored:
                    if (cache_) cache_->invalidate(play.version);
                    return reply('0', "stored", play.score);
                case Storage::Outcome::KeptEarlier:
                    return reply('0', "an earlier play scores as much or more", play.score);
                case Storage::Outcome::Conflict:
                    if (const char* why = refusal()) return reply('1', why);
                    break;
            }
        }
        return reply('2', "registration kept changing");
    } catch (const std::exception& e) {
        return reply('2', std::string("storage: ") + e.what());
    }
}

bool UploadService::submit(UploadRequest request, std::function<void(Reply)> done) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= queueLimit_) return false;
        queue_.emplace_back(std::move(request), std::move(done));
    }
    wake_.notify_one();
    return true;
}

void UploadService::refuseWaiting() {
    std::deque<std::pair<UploadRequest, std::function<void(Reply)>>> waiting;
    {
        std::lock_guard lock(mutex_);
        waiting.swap(queue_);
    }
    for (auto& job : waiting) job.second(reply('2', "the server is stopping"));
}

void UploadService::stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    refuseWaiting();
    {
        std::unique_lock lock(mutex_);
        if (!idle_.wait_for(lock, grace, [this] { return running_.load() == 0; })) checker_.cancel();
    }
    for (std::thread& t : workers_)
        if (t.joinable()) t.join();
}

std::size_t UploadService::queued() {
    std::lock_guard lock(mutex_);
    return queue_.size();
}

void UploadService::work() {
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing left to finish
        auto job = std::move(queue_.front());
        queue_.pop_front();
        ++running_;
        lock.unlock();
        Reply r = decide(job.first);
        {
            std::lock_guard done(mutex_);
            --running_;
        }
        idle_.notify_all();
        job.second(std::move(r));
    }
}
