// Our reader against one we did not write: python3-mido reads the same files, and the merged,
// time-ordered event lists must agree (time, track, message bytes, tempo). mido_dump.py applies the
// three places where our reader differs by design (note-off form, no end-of-track events, the
// channel split of single-track files); the one file mido refuses is checked on its own below.
#include <gtest/gtest.h>
#include <array>
#include <cstdio>
#include <filesystem>
#include "EventText.h"
#include "MidiFiles.h"
#include "music/Score.h"
#include "support/Prerequisite.h"

using namespace miditest;
using Lines = std::vector<std::string>;

namespace {

const std::string kSource = NIMBULON_SOURCE_DIR;
const char* const kPython = "/usr/bin/python3";

// Runs a shell command; its standard output as lines, and its exit status.
Lines run(const std::string& command, int& status) {
    Lines lines;
    std::FILE* p = popen(command.c_str(), "r");
    if (p == nullptr) {
        status = -1;
        return lines;
    }
    std::string line;
    std::array<char, 4096> buf;
    while (std::fgets(buf.data(), buf.size(), p) != nullptr) {
        line += buf.data();
        if (!line.empty() && line.back() == '\n') {
            line.pop_back();
            lines.push_back(line);
            line.clear();
        }
    }
    if (!line.empty()) lines.push_back(line);
    status = pclose(p);
    return lines;
}

Lines midoEvents(const std::string& path) {
    int status = 0;
    Lines lines = run(std::string(kPython) + " " + kSource + "/tests/music/mido_dump.py '" + path + "' 2>/dev/null", status);
    EXPECT_EQ(status, 0) << "mido could not read " << path;
    return lines;
}

Lines ourEvents(const std::string& path) {
    midiplayer::Score score;
    score.load(path);
    return scoreText(score);
}

void expectSameAsMido(const std::string& path) {
    SCOPED_TRACE(path);
    const Lines ours = ourEvents(path);
    const Lines theirs = midoEvents(path);
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(ours.size(), theirs.size());
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
        ASSERT_EQ(ours[i], theirs[i]) << "first difference at event " << i;
    }
}

class MidoCompare : public ::testing::Test {
protected:
    void SetUp() override {
        NIMBULON_REQUIRE("python3", std::filesystem::exists(kPython), "no /usr/bin/python3");
    }
};

}  // namespace

TEST_F(MidoCompare, GameSongs) {
    int compared = 0;
    for (const char* name : {"title", "stage1", "stage2", "stage3", "stage4", "stage5"}) {
        const std::string path = kSource + "/data/" + name + ".mid";
        if (!std::filesystem::exists(path)) continue;
        expectSameAsMido(path);
        ++compared;
    }
    EXPECT_GT(compared, 0) << "no song in data/";
}

TEST_F(MidoCompare, FilesMadeByAbc2midi) {
    NIMBULON_REQUIRE("abcmidi", std::filesystem::exists("/usr/bin/abc2midi"), "no /usr/bin/abc2midi");
    const auto dir = std::filesystem::temp_directory_path() / ("nimbulon-abc-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kSource + "/tests/music/abc")) {
        const std::string out = (dir / entry.path().stem()).string() + ".mid";
        int status = 0;
        run("/usr/bin/abc2midi '" + entry.path().string() + "' -o '" + out + "' >/dev/null 2>&1", status);
        ASSERT_EQ(status, 0) << entry.path();
        expectSameAsMido(out);
        ++compared;
    }
    std::filesystem::remove_all(dir);
    EXPECT_GE(compared, 2);
}

TEST_F(MidoCompare, EdgeCaseFiles) {
    const Bytes files[] = {
        // one track: split by channel; running status across a note-on and its release; 8n with a
        // release velocity; program change and channel pressure with one data byte; sysex.
        cat({header(0, 1, 96), track({
            0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,
            0x00, 0xC9, 0x10, 0x00, 0x99, 0x24, 0x64, 0x30, 0x24, 0x00, 0x00, 0x83, 0x40, 0x7F,
            0x00, 0x93, 0x40, 0x50, 0x18, 0x83, 0x40, 0x22, 0x00, 0xD3, 0x40, 0x00, 0xE3, 0x00, 0x50,
            0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xB3, 0x07, 0x40, 0x00, 0x0A, 0x20})}),
        // three tracks with events at the same ticks, tempo changes in the conductor track.
        cat({header(1, 3, 480),
             track({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x83, 0x60, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}),
             track({0x00, 0x90, 0x40, 0x40, 0x00, 0x41, 0x40, 0x83, 0x60, 0x80, 0x40, 0x00, 0x00, 0x41, 0x00}),
             track({0x00, 0x91, 0x30, 0x40, 0x83, 0x60, 0x30, 0x00, 0x00, 0xA1, 0x30, 0x10})}),
    };
    for (const Bytes& file : files) {
        TempFile f(file);
        expectSameAsMido(f.path());
    }
}

// A chunk of another kind between two tracks: we skip it, mido refuses the file. Both readers see
// the same events once the chunk is gone.
TEST_F(MidoCompare, ForeignChunkIsSkippedWhereMidoRefuses) {
    const Bytes a = track({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    const Bytes b = track({0x00, 0x90, 0x40, 0x40, 0x60, 0x80, 0x40, 0x00});
    TempFile withChunk(cat({header(1, 2, 480), a, chunk("XFIH", {1, 2, 3}), b}));
    TempFile without(cat({header(1, 2, 480), a, b}));
    int status = 0;
    run(std::string(kPython) + " " + kSource + "/tests/music/mido_dump.py '" + withChunk.path() + "' >/dev/null 2>&1", status);
    EXPECT_NE(status, 0) << "mido reads a foreign chunk between tracks";
    EXPECT_EQ(ourEvents(withChunk.path()), midoEvents(without.path()));
}
