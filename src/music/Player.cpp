#include "music/Player.h"
#include <algorithm>
#include <system_error>
#include <utility>

namespace midiplayer {

void OutputObservable::notify(const Event& event) {
    thread::Lock lock(observersLock_);
    for (OutputObserver* o : observers_) o->onEvent(event);
}

void OutputObservable::notifyDue(const Event& event, double dueMs) {
    thread::Lock lock(observersLock_);
    for (OutputObserver* o : observers_) o->onEventDue(event, dueMs);
}

void OutputObservable::addObserver(OutputObserver* observer) {
    thread::Lock lock(observersLock_);
    observers_.insert(observer);
}

void OutputObservable::removeObserver(OutputObserver* observer) {
    thread::Lock lock(observersLock_);
    observers_.erase(observer);
}

Player::Player(MsClock* clock) : clock_(clock != nullptr ? clock : &systemClock_) {}

Player::~Player() {
    silence();
    stop();
    join();
}

void Player::join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Player::setScore(const Score* score) {
    if (playing_) stop();
    join();
    score_ = score;
    position_ = 0.0;
    if (score_ != nullptr) current_ = score_->first();
}

void Player::start() {
    if (playing_) return;
    join();
    seek(static_cast<int>(position_.load()));
    playing_ = true;
    try {
        thread_ = std::thread(&Player::run, this);
    } catch (const std::system_error&) {
        throw PlayerException("_beginthread failed");
    }
}

void Player::stop() {
    if (playing_) {
        playing_ = false;  // the thread ends at its next check
        return;
    }
    join();
    position_ = 0.0;
    silence();
}

void Player::silence() {
    for (int channel = 0; channel < 16; ++channel) {
        EventShort off(static_cast<std::uint8_t>(0xB0 + channel), 123, 0);
        off.setTrack(0);
        notify(off);
    }
}

void Player::rewind() {
    // A thread that runs on is not waited for (it would never end); one that is ending is, so
    // that its own closing rewind does not cross ours.
    if (!playing_) join();
    rewindNow();
}

void Player::advancePosition(double ticks) {
    double p = position_.load();
    while (!position_.compare_exchange_weak(p, p + ticks)) {
    }
}

void Player::rewindNow() {
    position_ = 0.0;
    silence();
}

void Player::seek(int tick) {
    const bool wasPlaying = playing_;
    if (wasPlaying) stop();
    join();
    position_ = tick;
    if (score_ != nullptr) {
        current_ = score_->first();
        for (; current_ != score_->end() && (*current_)->time < tick; ++current_) {
            const Event& e = **current_;
            if (dynamic_cast<const EventNoteOn*>(&e) == nullptr && dynamic_cast<const EventNoteOff*>(&e) == nullptr)
                notify(e);
        }
    }
    if (wasPlaying) start();
}

std::string Player::takeFailure() {
    std::lock_guard<std::mutex> lock(failureMutex_);
    return std::exchange(failure_, std::string());
}

void Player::run() {
    if (score_ == nullptr) {
        playing_ = false;
        return;
    }
    bool locked = false;
    try {
        std::uint32_t last = clock_->now();
        tempo_ = static_cast<std::int32_t>(score_->tempoAt(current_));
        playbackLock_.enter();
        locked = true;
        const double division = score_->getDivision();
        while (playing_) {
            if (current_ == score_->end()) {
                if (!loop_) break;
                position_ = 0.0;
                current_ = score_->first();
                if (current_ == score_->end()) break;
            }
            const std::int32_t due = (*current_)->time;
            const std::uint32_t now = clock_->now();
            const std::uint32_t elapsed = now - last;
            // A tempo of 0 (possible in a file) would make the position infinite: count it as 1.
            const double tempo = std::max<std::int32_t>(tempo_, 1);
            advancePosition(division * (elapsed * 1000.0 / tempo) * speed_);
            const double position = position_;
            if (position <= due) {
                // Nothing due: sleep 1 ms, or longer while the next event is more than 3 ms away
                // (never past 2 ms before it, at most 10 ms so that a stop is seen soon). The tempo
                // cannot change before that event, so the distance is exact.
                const double msAway = (due - position) * tempo / 1000.0 / division / speed_;
                const std::uint32_t nap = msAway > 3.0 ? static_cast<std::uint32_t>(std::min(msAway - 2.0, 10.0)) : 1;
                playbackLock_.leave();
                locked = false;
                clock_->sleep(nap);
                playbackLock_.enter();
                locked = true;
            } else {
                // The position passed the event's time a little while ago: say exactly when, so
                // that the sound lands on the beat rather than on this pass.
                const double lateMs = (position - due) * tempo / 1000.0 / division / speed_;
                send(**current_, static_cast<double>(now) - lateMs);
                ++current_;
            }
            last = now;
        }
    } catch (const MyException& e) {
        std::lock_guard<std::mutex> lock(failureMutex_);
        failure_ = e.describe();
    } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(failureMutex_);
        failure_ = e.what();
    }
    if (locked) playbackLock_.leave();
    playing_ = false;
    try {
        silence();
        if (current_ == score_->end()) rewindNow();
    } catch (const std::exception&) {
        // The output failed while silencing: nothing more can be sent.
    }
}

void Player::send(const Event& event, double dueMs) {
    if (const auto* on = dynamic_cast<const EventNoteOn*>(&event)) {
        EventNoteOn copy(*on);
        copy.dataByte2 = static_cast<std::uint8_t>(static_cast<int>(on->dataByte2 * velocityScale_));
        if ((on->status & 0x0F) != 9) copy.dataByte1 = static_cast<std::uint8_t>(on->dataByte1 + transpose_);
        notifyDue(copy, dueMs);
    } else if (const auto* off = dynamic_cast<const EventNoteOff*>(&event)) {
        EventNoteOff copy(*off);
        if ((off->status & 0x0F) != 9) copy.dataByte1 = static_cast<std::uint8_t>(off->dataByte1 + transpose_);
        notifyDue(copy, dueMs);
    } else if (const auto* tempo = dynamic_cast<const EventTempo*>(&event)) {
        tempo_ = static_cast<std::int32_t>(tempo->tempo);
        EventTempo copy(*tempo);
        copy.tempo = static_cast<std::uint32_t>(tempo->tempo * speed_);
        notifyDue(copy, dueMs);
    } else {
        notifyDue(event, dueMs);
    }
}

}  // namespace midiplayer
