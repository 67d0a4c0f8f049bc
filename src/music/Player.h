#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include "app/Clock.h"
#include "music/CriticalSection.h"
#include "music/Score.h"

namespace midiplayer {

// Receives every event the player sends.
class OutputObserver {
public:
    virtual ~OutputObserver() = default;
    virtual void onEvent(const Event& event) = 0;
    // The same event, with the moment it was due on the player's clock (milliseconds, with their
    // fraction): an observer that renders sound can place it there instead of at its arrival.
    virtual void onEventDue(const Event& event, double dueMs) { onEvent(event); }
};

// The registered observers and the lock that keeps one send from interleaving with another.
class OutputObservable {
public:
    virtual ~OutputObservable() = default;
    // Calls onEvent on every observer under the observers lock.
    virtual void notify(const Event& event);
    // notify, telling the observers when the event was due.
    void notifyDue(const Event& event, double dueMs);
    void addObserver(OutputObserver* observer);
    void removeObserver(OutputObserver* observer);

private:
    std::set<OutputObserver*> observers_;
    thread::CriticalSection observersLock_;
};

// Plays a score on a thread of its own against a millisecond clock, looping.
//
// The thread sends an event in the first pass in which the song position strictly exceeds the
// event's time, one event per pass, and sleeps whenever nothing is due: 1 ms near an event, up to
// 10 ms while the next one is further away. Every operation below
// runs on the game's main thread; the ones that move the position first wait for a stopping
// thread to leave (it does within about a millisecond plus one send).
class Player : public OutputObservable {
public:
    class PlayerException : public MyException {
    public:
        using MyException::MyException;
        std::string typeName() const override { return "PlayerException"; }
    };

    // clock: the time base and the 1 ms sleep; null = the system clock. Not owned.
    explicit Player(MsClock* clock = nullptr);
    ~Player() override;
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // On a running player the thread is stopped first (and waited for): a new score never reaches
    // a thread that is walking the old one.
    void setScore(const Score* score);
    // Starts the playback thread from the whole-tick part of the position; nothing if playing.
    void start();
    // Playing: asks the thread to end. Stopped: position 0 and all notes off.
    void stop();
    // Controller 123 (all notes off) on channels 0 to 15, in that order.
    void silence();
    // Position 0 and all notes off. A running thread plays on from there: the next event leaves
    // once the position has grown past its time again.
    void rewind();
    // Moves to `tick`, replaying every non-note event before it.
    void seek(int tick);
    // Waits for the playback thread to end: after stop, or when it ends by itself (a failure, or
    // the end of a song that does not loop). Nothing when no thread was started.
    void join();

    bool isPlaying() const { return playing_.load(); }
    double getPosition() const { return position_; }
    // Why the playback thread ended by itself, once (empty when it did not fail).
    std::string takeFailure();

    void setVelocityScale(double v) { velocityScale_ = v; }
    void setSpeed(double s) { speed_ = s; }
    void setTranspose(int t) { transpose_ = t; }
    void setLoop(bool l) { loop_ = l; }

private:
    void run();
    void send(const Event& event, double dueMs);
    void rewindNow();

    // Moves the position on by `ticks` without losing a rewind the main thread makes meanwhile.
    void advancePosition(double ticks);

    std::atomic<bool> playing_{false};
    std::atomic<double> position_{0.0};  // the main thread rewinds a running player
    std::int32_t tempo_ = 0;
    Score::Position current_{};
    double velocityScale_ = 1.0;
    double speed_ = 1.0;
    std::int32_t transpose_ = 0;
    const Score* score_ = nullptr;
    bool loop_ = true;
    std::thread thread_;
    thread::CriticalSection playbackLock_;

    SystemClock systemClock_;
    MsClock* clock_;
    std::mutex failureMutex_;
    std::string failure_;
};

}  // namespace midiplayer
