#include <gtest/gtest.h>
#include <random>
#include "MidiFiles.h"
#include "EventText.h"
#include "music/Score.h"

using namespace midiplayer;
using namespace miditest;
using Lines = std::vector<std::string>;

namespace {

Lines loadText(const Bytes& file) {
    TempFile f(file);
    Score score;
    score.load(f.path());
    return scoreText(score);
}

std::string loadError(const Bytes& file) {
    TempFile f(file);
    Score score;
    try {
        score.load(f.path());
    } catch (const Score::ScoreException& e) {
        EXPECT_TRUE(score.list().empty()) << "a failed load leaves an empty score";
        return e.message();
    }
    return "(loaded)";
}

}  // namespace

TEST(ScoreRead, ParsesEachKindOfEventInFileOrder) {
    const Bytes file = cat({header(1, 1, 96), track({
        0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  // tempo 500000
        0x00, 0xFF, 0x03, 0x02, 'h', 'i',          // track name: a plain meta event
        0x00, 0xC2, 0x05,                          // program change: one data byte
        0x00, 0xB2, 0x07, 0x64,                    // controller
        0x10, 0x92, 0x3C, 0x40,                    // note on
        0x10, 0x3C, 0x00,                          // running status, velocity 0: note off in 9n form
        0x00, 0x82, 0x3E, 0x33,                    // note off 8n: stored as 9n with velocity 0
        0x00, 0x40, 0x22,                          // running status 82 again: still a note off
        0x05, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7,  // sysex F0
        0x00, 0xF7, 0x02, 0x01, 0x02,              // sysex F7: bytes as they are
        0x00, 0xE2, 0x00, 0x40,                    // pitch bend: two data bytes
        0x00, 0xD2, 0x11,                          // channel pressure: one data byte
    })});
    TempFile f(file);
    Score score;
    score.load(f.path());
    EXPECT_EQ(score.division, 96);
    EXPECT_EQ(score.format, 1);
    EXPECT_EQ(score.trackCount, 17);
    EXPECT_EQ(scoreText(score), (Lines{
        "0 0 tempo 500000", "0 0 meta", "0 3 short c2 05 00", "0 3 short b2 07 64",
        "16 3 on 92 3c 40", "32 3 off 92 3c 00", "32 3 off 92 3e 00", "32 3 off 92 40 00",
        "37 0 long f0 7e 7f 09 01 f7", "37 0 long 01 02", "37 3 short e2 00 40", "37 3 short d2 11 00"}));
    const auto* sysex = dynamic_cast<const EventLong*>(std::next(score.list().begin(), 8)->get());
    ASSERT_NE(sysex, nullptr);
    EXPECT_EQ(sysex->type, 0xF0);
    EXPECT_EQ(sysex->length, 6u);
}

TEST(ScoreRead, MergesTracksByTimeWithLowerTracksFirst) {
    const Bytes file = cat({header(1, 3, 480),
        track({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x83, 0x60, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}),
        chunk("XFIH", {1, 2, 3, 4, 5}),  // a chunk of another kind between tracks is skipped
        track({0x00, 0x90, 0x40, 0x40, 0x00, 0x90, 0x41, 0x40, 0x83, 0x60, 0x80, 0x40, 0x00}),
        track({0x00, 0x91, 0x30, 0x40, 0x81, 0x70, 0x81, 0x30, 0x00})});
    EXPECT_EQ(loadText(file), (Lines{
        "0 0 tempo 1000000", "0 1 on 90 40 40", "0 1 on 90 41 40", "0 2 on 91 30 40",
        "240 2 off 91 30 00", "480 0 tempo 500000", "480 1 off 90 40 00"}));
}

// The bytes of a longer header are skipped; a header length under 6 skips nothing (the three
// fields are still read) instead of seeking backwards or 4 GiB ahead.
TEST(ScoreRead, HeaderLengthOtherThanSix) {
    for (const std::uint8_t length : {8, 0, 5}) {
        Bytes head = header(0, 1, 120);
        head[7] = length;
        if (length == 8) head.insert(head.end(), {0xAA, 0xBB});
        EXPECT_EQ(loadText(cat({head, track({0x00, 0x99, 0x24, 0x64})})), (Lines{"0 10 on 99 24 64"})) << int(length);
    }
}

TEST(ScoreRead, TrackCountFromHeaderIsKeptForSeveralTracks) {
    TempFile f(cat({header(1, 2, 480), track({}), track({0x00, 0xC0, 0x01})}));
    Score score;
    score.load(f.path());
    EXPECT_EQ(score.trackCount, 2);
    EXPECT_EQ(scoreText(score), (Lines{"0 1 short c0 01 00"}));
}

// Truncated and hostile files end in a ScoreException with the right message, never in a crash,
// a hang or an allocation the size of a length field.
TEST(ScoreRead, BrokenFilesFailWithTheirMessage) {
    const Bytes ok = header(0, 1, 480);
    const struct Case { const char* name; Bytes file; const char* message; } cases[] = {
        {"empty file", {}, "Cannot find file header"},
        {"not a MIDI file", {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, "Cannot find file header"},
        {"header cut short", {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0}, "Read failed. Broken file."},
        {"no track chunk", ok, "Track not found. Broken file."},
        {"fewer tracks than announced", cat({header(1, 3, 480), track({}), track({})}), "Track not found. Broken file."},
        {"only other chunks", cat({ok, chunk("JUNK", {1, 2})}), "Track not found. Broken file."},
        {"skipped chunk longer than the file", cat({ok, {'J', 'U', 'N', 'K', 0xFF, 0xFF, 0xFF, 0xFF}}), "Track not found. Broken file."},
        {"65535 tracks announced, none there", cat({header(1, 0xFFFF, 480), track({})}), "Track not found. Broken file."},
        {"chunk name cut short", cat({ok, {'M', 'T'}}), "Track not found. Broken file."},
        {"other chunk's length cut short", cat({ok, {'J', 'U', 'N', 'K', 0, 0}}), "Track not found. Broken file."},
        {"track chunk's length cut short", cat({ok, {'M', 'T', 'r', 'k', 0, 0}}), "Read failed. Broken file."},
        {"track without end of track", cat({ok, chunk("MTrk", {0x00, 0x90, 0x40, 0x40})}), "Read failed. Broken file."},
        {"cut inside a note", cat({ok, chunk("MTrk", {0x00, 0x90, 0x40})}), "Read failed. Broken file."},
        {"endless delta", cat({ok, chunk("MTrk", Bytes(5000, 0xFF))}), "Read failed. Broken file."},
        {"meta length beyond the file", cat({ok, chunk("MTrk", {0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0x7F, 'a'})}), "Read failed. Broken file."},
        {"meta length of 70 bits", cat({ok, chunk("MTrk", {0x00, 0xFF, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})}), "Read failed. Broken file."},
        {"sysex length beyond the file", cat({ok, chunk("MTrk", {0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0x7F, 0x01})}), "Read failed. Broken file."},
        {"end of track whose length runs past the file", cat({ok, chunk("MTrk", {0x00, 0xFF, 0x2F, 0x81, 0x00})}), "Read failed. Broken file."},
        {"song longer than 2^31 ticks", cat({ok, track({0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x40, 0x40,
                                                         0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x40, 0x00,
                                                         0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0x40, 0x40})}),
         "Read failed. Broken file."},
    };
    for (const Case& c : cases) EXPECT_EQ(loadError(c.file), c.message) << c.name;
}

TEST(ScoreRead, MissingFileNamesThePath) {
    Score score;
    try {
        score.load("/nonexistent/dir/title.mid");
        FAIL() << "loaded a missing file";
    } catch (const Score::ScoreException& e) {
        EXPECT_STREQ(e.what(), "Cannot open file:/nonexistent/dir/title.mid");
        EXPECT_EQ(e.describe(), "StanderdApplicationException:Cannot open file:/nonexistent/dir/title.mid");
        EXPECT_EQ(e.label(), "ScoreException:");
    }
    EXPECT_TRUE(score.list().empty()) << "the default tempo is gone too";
    EXPECT_THROW(score.tempoAt(score.first()), Score::ScoreException);
}

// Random corruptions of a valid file either load or fail with ScoreException.
TEST(ScoreRead, CorruptedFilesNeverCrash) {
    const Bytes good = cat({header(1, 2, 480),
        track({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xF0, 0x03, 0x43, 0x12, 0xF7}),
        track({0x00, 0xC0, 0x10, 0x00, 0x90, 0x40, 0x50, 0x60, 0x40, 0x00, 0x00, 0xFF, 0x01, 0x02, 'a', 'b',
               0x10, 0xB0, 0x07, 0x70, 0x20, 0x80, 0x40, 0x00})});
    std::mt19937 rng(12345);
    int loaded = 0, failed = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes file = good;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < edits; ++k) {
            const std::size_t at = rng() % file.size();
            switch (rng() % 3) {
                case 0: file[at] = static_cast<std::uint8_t>(rng()); break;
                case 1: file.resize(at); break;
                default: file.insert(file.begin() + static_cast<long>(at), static_cast<std::uint8_t>(rng())); break;
            }
            if (file.empty()) file.push_back(0);
        }
        TempFile f(file);
        Score score;
        try {
            score.load(f.path());
            ++loaded;
        } catch (const Score::ScoreException&) {
            ++failed;
        }
    }
    EXPECT_GT(loaded, 0);
    EXPECT_GT(failed, 0);
}

TEST(ScoreModel, FreshScoreHoldsTheDefaultTempo) {
    Score score;
    EXPECT_EQ(scoreText(score), (Lines{"0 0 tempo 1000000"}));
    EXPECT_EQ(score.tempoAt(score.first()), 1000000u);
    EXPECT_EQ(score.division, 480);
    EXPECT_EQ(score.trackCount, 1);
}

TEST(ScoreModel, AddEventInsertsAfterEqualTimesAndRaisesTrackCount) {
    Score score;
    EventNoteOn a(0x90, 60, 100);
    a.time = 0;
    a.track = 4;
    EventShort b(0xB0, 7, 100);
    b.time = 0;
    b.track = 1;
    EventTempo c(250000);
    c.time = -5;
    score.addEvent(a);
    score.addEvent(b);
    score.addEvent(c);
    EXPECT_EQ(scoreText(score), (Lines{"-5 0 tempo 250000", "0 0 tempo 1000000", "0 4 on 90 3c 64", "0 1 short b0 07 64"}));
    EXPECT_EQ(score.trackCount, 5);
}

TEST(ScoreModel, TempoAtCountsALaterTempoOfTheSameTick) {
    // tick 0: note, tempo 500000; tick 10: note; tick 20: tempo 250000, note
    const Bytes file = cat({header(0, 1, 480), track({
        0x00, 0x90, 0x40, 0x40, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
        0x0A, 0x90, 0x41, 0x40,
        0x0A, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90, 0x00, 0x90, 0x42, 0x40})});
    TempFile f(file);
    Score score;
    score.load(f.path());
    const std::vector<Score::Position> at = [&] {
        std::vector<Score::Position> v;
        for (auto p = score.first(); p != score.end(); ++p) v.push_back(p);
        return v;
    }();
    ASSERT_EQ(at.size(), 5u);
    EXPECT_EQ(score.tempoAt(at[0]), 500000u) << "the tempo after the first note at the same tick";
    EXPECT_EQ(score.tempoAt(at[2]), 500000u);
    EXPECT_EQ(score.tempoAt(at[3]), 250000u);
    EXPECT_EQ(score.tempoAt(score.end()), 250000u);

    // A file whose notes come before any tempo has none in force at its start.
    TempFile g(cat({header(0, 1, 480), track({0x00, 0x90, 0x40, 0x40, 0x01, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20})}));
    score.load(g.path());
    try {
        score.tempoAt(score.first());
        FAIL();
    } catch (const Score::ScoreException& e) {
        EXPECT_EQ(e.message(), "start tempo undefined");
    }
}

TEST(ScoreModel, ShortTempoEventIsNotATempo) {
    // Two bytes cannot hold a tempo: it is kept as a plain meta event, nothing is read past it.
    EXPECT_EQ(loadText(cat({header(0, 1, 480), track({0x00, 0xFF, 0x51, 0x02, 0x07, 0xA1, 0x00, 0x90, 0x40, 0x40})})),
              (Lines{"0 0 meta", "0 1 on 90 40 40"}));
    EXPECT_EQ(loadText(cat({header(0, 1, 480), track({0x00, 0xFF, 0x51, 0x04, 0x07, 0xA1, 0x20, 0x55})})),
              (Lines{"0 0 tempo 500000"}));
}

TEST(EventModel, LongEventsAndCopies) {
    const std::uint8_t bytes[] = {0x7E, 0x7F, 0xF7};
    EventLong f0(0xF0, bytes, 3);
    EXPECT_EQ(f0.length, 4u);
    EventLong f7(0xF7, bytes, 3);
    EXPECT_EQ(f7.length, 3u);
    f7.time = 9;
    f7.setTrack(2);
    const auto copy = f7.clone();
    ASSERT_NE(dynamic_cast<EventLong*>(copy.get()), nullptr);
    EXPECT_EQ(eventText(*copy), "9 2 long 7e 7f f7");
    EXPECT_EQ(copy->getTrack(), 2);
    try {
        EventLong bad(0xF1, bytes, 3);
        FAIL();
    } catch (const EventLong::EventLongException& e) {
        EXPECT_EQ(e.message(), "Unknown type:241");
        EXPECT_EQ(e.label(), "EventLongException");
    }
    EventNoteOff off(0x95, 60, 0);
    EXPECT_NE(dynamic_cast<EventNoteOff*>(off.clone().get()), nullptr) << "clone keeps the concrete class";
}
