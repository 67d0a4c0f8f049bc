#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <thread>
#include "PlayerFixtures.h"
#include "music/Player.h"

using namespace midiplayer;
using namespace miditest;
using Lines = std::vector<std::string>;

namespace {

template <class E, class... Args>
void add(Score& score, std::int32_t time, Args... args) {
    E e(args...);
    e.time = time;
    score.addEvent(e);
}

// A player on a fake clock that holds its thread at `limitMs`, sending to a recorder that stamps
// each line with the virtual time of its send (or, unstamped, only the event).
struct HeldPlayer {
    explicit HeldPlayer(std::uint32_t limitMs, bool stamped = true, std::uint32_t step = 1)
        : clock(limitMs, step), recorder(stamped ? &clock : nullptr), player(&clock) {
        player.addObserver(&recorder);
    }
    // Starts `score`; true once the thread is held at the limit.
    bool start(const Score& score) {
        player.setScore(&score);
        player.start();
        return clock.waitHeld();
    }
    // Stops the player, then lets the held thread go and waits for it to end.
    void finish() {
        player.stop();
        clock.release();
        player.join();
    }

    FakeClock clock;
    Recorder recorder;
    Player player;
};

// Plays `score` on a fake clock until the clock reaches `limitMs`, then stops the player. Returns
// what was sent, each line stamped with the virtual time of its send; the closing silence of the
// thread is left out.
Lines play(const Score& score, std::uint32_t limitMs, std::uint32_t step = 1, void (*setup)(Player&) = nullptr) {
    HeldPlayer held(limitMs, true, step);
    if (setup != nullptr) setup(held.player);
    EXPECT_TRUE(held.start(score)) << "the playback thread never slept up to " << limitMs << " ms";
    Lines sent = held.recorder.lines();
    held.finish();
    held.player.removeObserver(&held.recorder);
    return sent;
}

// What the recorder holds once it has `count` lines (or after 10 s of real time).
Lines waitForLines(Recorder& recorder, std::size_t count) {
    Lines sent = recorder.lines();
    for (int i = 0; i < 1000 && sent.size() < count; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        sent = recorder.lines();
    }
    return sent;
}

Lines withoutTimes(const Lines& lines) {
    Lines out;
    for (const auto& l : lines) out.push_back(l.substr(l.find(": ") + 2));
    return out;
}

}  // namespace

// A note at tick 480 (division 480, 1000000 us per quarter) is due after 1000 ms. With the clock
// moving 1000 ms at a time the position is exactly 480 at 1000 ms: not enough, it must exceed it.
TEST(PlayerTiming, EventLeavesWhenThePositionStrictlyExceedsItsTime) {
    Score score;
    add<EventNoteOn>(score, 480, 0x90, 60, 100);
    EXPECT_EQ(play(score, 3000, 1000), (Lines{"1000: 0 tempo 1000000", "2000: 480 on 90 3c 64"}));
    // in 1 ms steps the note leaves at the first pass past 1000 ms
    const Lines fine = play(score, 1100);
    ASSERT_GE(fine.size(), 2u);
    EXPECT_EQ(fine[0], "1: 0 tempo 1000000");
    const int at = std::stoi(fine[1]);
    EXPECT_TRUE(at == 1000 || at == 1001) << fine[1];
}

// Far from the next event the thread sleeps up to 10 ms; within 3 ms of it, 1 ms at a time.
TEST(PlayerTiming, SleepsLongerOnlyWhileNothingIsNear) {
    Score score;
    EventNoteOn note(0x90, 60, 100);
    note.time = 480;  // due at 1000 ms
    score.addEvent(note);
    HeldPlayer held(1200, /*stamped*/ false);
    ASSERT_TRUE(held.start(score));
    held.finish();
    int longNaps = 0;
    for (const auto& [at, ms] : held.clock.naps) {
        if (at >= 1 && at < 1000) {
            EXPECT_LE(ms, 10u) << "at " << at;
            if (ms > 1) {
                EXPECT_LE(at + ms, 998u) << "a nap at " << at << " ends less than 2 ms before the due time";
            }
            if (at >= 997) {
                EXPECT_EQ(ms, 1u) << "at " << at;
            }
            longNaps += ms == 10;
        }
    }
    EXPECT_GT(longNaps, 0);
}

TEST(PlayerTiming, HalvingTheTempoDoublesTheRateFromTheNextPass) {
    Score score;  // tempo 1000000 at 0
    add<EventTempo>(score, 480, 500000u);
    add<EventNoteOn>(score, 960, 0x90, 60, 100);
    const Lines sent = play(score, 2500, 10);
    ASSERT_GE(sent.size(), 3u);
    const int change = std::stoi(sent[1]);
    EXPECT_EQ(sent[1].substr(sent[1].find(": ")), ": 480 tempo 500000");
    EXPECT_TRUE(change == 1000 || change == 1010) << sent[1];
    const int took = std::stoi(sent[2]) - change;  // 480 more ticks at the doubled rate
    EXPECT_GE(took, 490);
    EXPECT_LE(took, 510) << sent[2];
}

TEST(PlayerTiming, EventsDueTogetherLeaveInConsecutivePassesWithoutSleeping) {
    Score score;
    for (int n = 0; n < 3; ++n) add<EventNoteOn>(score, 100, 0x90, 60 + n, 100);
    add<EventNoteOff>(score, 200, 0x90, 60, 0);
    const Lines sent = play(score, 450);
    ASSERT_GE(sent.size(), 5u);
    const int t = std::stoi(sent[1]);
    EXPECT_EQ(sent[1], std::to_string(t) + ": 100 on 90 3c 64");
    EXPECT_EQ(sent[2], std::to_string(t) + ": 100 on 90 3d 64");
    EXPECT_EQ(sent[3], std::to_string(t) + ": 100 on 90 3e 64");
}

TEST(PlayerTiming, LoopsFromTheLastStoredEventBackToTickZero) {
    Score score;
    add<EventNoteOn>(score, 10, 0x90, 60, 100);
    add<EventNoteOff>(score, 20, 0x90, 60, 0);
    const Lines sent = withoutTimes(play(score, 200));
    ASSERT_GE(sent.size(), 9u);
    for (std::size_t i = 0; i < 9; ++i) {
        const char* expected[] = {"0 tempo 1000000", "10 on 90 3c 64", "20 off 90 3c 00"};
        EXPECT_EQ(sent[i], expected[i % 3]) << i;
    }
    // only the constructor's tempo: plays silence, looping, and still sleeps between passes
    const Lines silent = withoutTimes(play(Score(), 100));
    EXPECT_GE(silent.size(), 10u);
    EXPECT_TRUE(std::all_of(silent.begin(), silent.end(), [](const auto& l) { return l == "0 tempo 1000000"; }));
}

TEST(PlayerSend, TransposeSparesDrumsAndVelocityIsScaled) {
    Score score;
    add<EventNoteOn>(score, 1, 0x90, 60, 100);
    add<EventNoteOn>(score, 1, 0x99, 36, 101);
    add<EventNoteOff>(score, 2, 0x90, 60, 0);
    add<EventNoteOff>(score, 2, 0x99, 36, 0);
    add<EventNoteOn>(score, 3, 0x91, 254, 10);
    add<EventShort>(score, 3, 0xB0, 7, 100);
    const Lines sent = withoutTimes(play(score, 20, 1, [](Player& p) {
        p.setTranspose(3);
        p.setVelocityScale(0.5);
    }));
    ASSERT_GE(sent.size(), 7u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 7),
              (Lines{"0 tempo 1000000", "1 on 90 3f 32", "1 on 99 24 32", "2 off 90 3f 00", "2 off 99 24 00",
                     "3 on 91 01 05", "3 short b0 07 64"}));
}

TEST(PlayerSend, SpeedScalesThePositionAndTheTempoSent) {
    Score score;
    add<EventNoteOn>(score, 480, 0x90, 60, 100);
    const Lines sent = play(score, 1000, 1, [](Player& p) { p.setSpeed(2.0); });
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[0], "1: 0 tempo 2000000");
    EXPECT_NEAR(std::stoi(sent[1]), 500, 1);
}

TEST(PlayerControl, StopWhenStoppedSilencesAllChannelsInOrder) {
    Recorder recorder;
    Player player;
    player.addObserver(&recorder);
    player.addObserver(&recorder);  // no duplicates in the observer set
    player.stop();
    EXPECT_EQ(recorder.lines(), allNotesOff());
    EXPECT_EQ(player.getPosition(), 0.0);
}

// Rewinding a running player must not wait for its thread (which never ends on its own while
// looping): the position goes back to 0, all notes go off, and the thread plays on from there.
TEST(PlayerControl, RewindOnARunningPlayerPlaysOnFromTickZero) {
    Score score;
    add<EventNoteOn>(score, 480, 0x90, 60, 100);  // due at 1000 ms
    HeldPlayer held(500);
    Player& player = held.player;
    Recorder& recorder = held.recorder;
    ASSERT_TRUE(held.start(score));
    recorder.clear();
    player.rewind();
    EXPECT_EQ(player.getPosition(), 0.0);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(recorder.lines(), allNotesOff("500: "));
    held.clock.release();
    const Lines sent = waitForLines(recorder, 17);
    player.stop();
    player.join();
    ASSERT_GE(sent.size(), 17u);
    const int at = std::stoi(sent[16]);
    EXPECT_EQ(sent[16].substr(sent[16].find(": ")), ": 480 on 90 3c 64");
    EXPECT_GE(at, 1497) << "the note waits its full 1000 ms again from the rewind at 500 ms";
    EXPECT_LE(at, 1502);
}

// A new score never reaches a running thread: the player is stopped first, and starting it plays
// the new score from its beginning.
TEST(PlayerControl, NewScoreOnARunningPlayerStopsItFirst) {
    Score first, second;
    add<EventNoteOn>(first, 4800, 0x90, 60, 100);
    add<EventNoteOn>(second, 48, 0x90, 72, 100);
    HeldPlayer held(50, /*stamped*/ false);
    Player& player = held.player;
    Recorder& recorder = held.recorder;
    ASSERT_TRUE(held.start(first));
    held.clock.release();
    player.setScore(&second);
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.getPosition(), 0.0);
    recorder.clear();
    player.start();
    const Lines sent = waitForLines(recorder, 2);
    player.stop();
    player.join();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 2), (Lines{"0 tempo 1000000", "48 on 90 48 64"}));
}

TEST(PlayerControl, SeekReplaysEverythingButNotesBeforeTheTarget) {
    Score score;
    add<EventShort>(score, 0, 0xC0, 5, 0);
    add<EventNoteOn>(score, 0, 0x90, 60, 100);
    add<EventShort>(score, 10, 0xB0, 7, 90);
    add<EventNoteOff>(score, 10, 0x90, 60, 0);
    add<EventTempo>(score, 20, 500000u);
    add<EventShort>(score, 30, 0xB0, 7, 80);
    Recorder recorder;
    Player player;
    player.addObserver(&recorder);
    player.setScore(&score);
    player.seek(30);
    EXPECT_EQ(recorder.lines(), (Lines{"0 tempo 1000000", "0 short c0 05 00", "10 short b0 07 5a", "20 tempo 500000"}));
    EXPECT_EQ(player.getPosition(), 30.0);
    recorder.clear();
    player.seek(0);
    EXPECT_TRUE(recorder.lines().empty());
}

TEST(PlayerControl, StartOnARunningPlayerDoesNothing) {
    Score score;
    add<EventNoteOn>(score, 4800, 0x90, 60, 100);
    HeldPlayer held(50);
    Player& player = held.player;
    Recorder& recorder = held.recorder;
    ASSERT_TRUE(held.start(score));
    const Lines before = recorder.lines();
    player.start();
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(recorder.lines(), before);
    held.finish();
    EXPECT_FALSE(player.isPlaying());
    const Lines after = recorder.lines();
    EXPECT_EQ(Lines(after.begin() + static_cast<long>(before.size()), after.end()), allNotesOff("50: "))
        << "the thread silences as it leaves";
}

// What the thread does when it cannot play: it ends quietly, silences, and keeps the reason for
// the music service to log.
TEST(PlayerFailure, NoTempoInForceEndsPlaybackQuietly) {
    Score score;
    score.clear();  // what a failed load leaves
    FakeClock clock(100);
    Recorder recorder;
    Player player(&clock);
    player.addObserver(&recorder);
    player.setScore(&score);
    player.start();
    player.join();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.takeFailure(), "StanderdApplicationException:start tempo undefined");
    EXPECT_EQ(player.takeFailure(), "") << "reported once";
    const Lines sent = recorder.lines();
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 16), allNotesOff());
}

TEST(PlayerFailure, AFailingSendEndsPlaybackQuietly) {
    struct Refuses : OutputObserver {
        void onEvent(const Event& e) override {
            if (dynamic_cast<const EventNoteOn*>(&e)) throw MyException("device gone");
        }
    } refuses;
    Score score;
    add<EventNoteOn>(score, 5, 0x90, 60, 100);
    FakeClock clock(1000000);
    Player player(&clock);
    player.addObserver(&refuses);
    player.setScore(&score);
    player.start();
    player.join();
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.takeFailure(), "StanderdApplicationException:device gone");
    EXPECT_LT(clock.time.load(), 100u);
}

TEST(PlayerFailure, ATempoOfZeroStillSleepsBetweenLoops) {
    Score score;
    add<EventTempo>(score, 0, 0u);
    add<EventNoteOn>(score, 100, 0x90, 60, 100);
    const Lines sent = play(score, 50);
    EXPECT_GE(sent.size(), 3u);
}

TEST(PlayerException, NamesItsType) {
    Player::PlayerException e("_beginthread failed");
    EXPECT_EQ(e.describe(), "PlayerException:_beginthread failed");
}
