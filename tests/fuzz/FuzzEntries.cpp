#include "FuzzEntries.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <unistd.h>
#include "app/Config.h"
#include "app/Log.h"
#include "app/SystemSave.h"
#include "graphics/Bitmap.h"
#include "music/Score.h"
#include "records/RankingData.h"
#include "records/Score.h"
#include "sound/WaveFile.h"

namespace fuzz {

namespace {

// A private folder for the files the readers open, on a memory file system where there is one:
// the fuzzer writes one file per input, and the readers must meet real files (fopen, seeking,
// the size a file reports).
class Scratch {
public:
    Scratch() {
        namespace fs = std::filesystem;
        const char* tmp = std::getenv("TMPDIR");
        const fs::path base = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                              : tmp != nullptr                                                 ? fs::path(tmp)
                                                                                               : fs::path("/tmp");
        std::string tmpl = (base / "nimbulon-fuzz-XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
        dir_ = tmpl;
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    // Writes the bytes to <scratch>/<name> and returns its path.
    std::string put(const char* name, const std::uint8_t* data, std::size_t size) const {
        const std::string path = dir_ + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f == nullptr) std::abort();
        if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
        std::fclose(f);
        return path;
    }
    std::string path(const char* name) const { return dir_ + "/" + name; }

private:
    std::string dir_;
};

const Scratch& scratch() {
    static const Scratch s;
    return s;
}

// The replay file, read as the records scene and the replay tool read it. A record that was read
// must write back, and what it writes must read back to the same bytes.
std::string replayFile(const std::uint8_t* data, std::size_t size) {
    Log log("");
    Score record(&log);
    if (!record.load(scratch().put("fuzz.rep", data, size))) {
        return record.toBytes() == Score(nullptr).toBytes() ? "" : "a refused file changed the record";
    }
    const std::vector<unsigned char> bytes = record.toBytes();
    if (bytes.empty()) return "a record that was read cannot be written";
    Score again(&log);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    if (!again.read(in)) return "a written record does not read back";
    if (again.toBytes() != bytes) return "a written record reads back differently";
    return "";
}

// A Standard MIDI File, loaded as the music service loads a song. Only ScoreException may leave
// the reader; a loaded score is ordered by time and asks the player nothing impossible.
std::string midiFile(const std::uint8_t* data, std::size_t size) {
    midiplayer::Score score;
    try {
        score.load(scratch().put("fuzz.mid", data, size));
    } catch (const midiplayer::Score::ScoreException&) {
        return score.list().empty() ? "" : "a failed load left events behind";
    } catch (const std::exception& e) {
        return std::string("the reader let another exception out: ") + e.what();
    }
    std::int32_t last = 0;
    for (const auto& event : score.list()) {
        if (event->time < last) return "events out of time order";
        last = event->time;
        if (event->track < 0 || event->track >= score.trackCount) return "an event of a track beyond the count";
    }
    try {
        score.tempoAt(score.first());
    } catch (const midiplayer::Score::ScoreException&) {
        // a song without a tempo: the player ends quietly
    }
    return "";
}

// An effect file, read as the sound service loads it.
std::string waveFile(const std::uint8_t* data, std::size_t size) {
    const WaveFile wave = readWaveFile(scratch().put("fuzz.wav", data, size));
    if (wave.status == WaveStatus::Ok) {
        if (wave.samples.empty() || wave.samples.size() > size) return "samples that the file cannot hold";
    } else if (!wave.samples.empty()) {
        return "a refused file kept samples";
    }
    return "";
}

// A bitmap resource, decoded as the image loader decodes it before making the surface.
std::string bitmap(const std::uint8_t* data, std::size_t size) {
    Bitmap bmp;
    if (!decodeBmp(data, size, bmp)) {
        return bmp.width == 0 && bmp.height == 0 && bmp.pixels.empty() ? "" : "a refused picture changed the bitmap";
    }
    if (bmp.width < 1 || bmp.height < 1 || bmp.width > 16384 || bmp.height > 16384) return "a picture size out of range";
    if (bmp.pixels.size() != static_cast<std::size_t>(bmp.width) * static_cast<std::size_t>(bmp.height))
        return "pixels that do not fill the picture";
    return "";
}

// A ranking list file, read as the records scene reads it.
std::string rankingList(const std::uint8_t* data, std::size_t size) {
    Log log("");
    RankingData list(&log);
    if (!list.load(scratch().put("fuzz.dat", data, size))) return "an existing ranking file could not be read";
    for (const RankingRecord& record : list.records()) {
        for (const auto& [key, value] : record) {
            if (key.empty()) return "an empty key";
            if (key.size() > 998 || value.size() > 998) return "a line longer than the line buffer";
        }
    }
    return "";
}

// The system save: read at start-up, written back whole by the scenes. What was read must come
// back unchanged from a write and a second read.
std::string systemSave(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratch().put("system.sav", data, size);
    const SystemSave first(path);
    for (const std::string* text : {&first.name, &first.password, &first.comment}) {
        if (text->find('\0') != std::string::npos) return "a text holds a zero byte";
        if (text->size() > size) return "a text longer than the file";
    }
    first.Write();
    const SystemSave second(path);
    if (second.tutorialCleared != first.tutorialCleared || second.shortCourseCleared != first.shortCourseCleared ||
        second.fullCourseCleared != first.fullCourseCleared || second.name != first.name ||
        second.password != first.password || second.comment != first.comment)
        return "the save does not read back as written";
    return "";
}

// The configuration file beside the program: both keys the game reads, and one that is missing.
std::string configFile(const std::uint8_t* data, std::size_t size) {
    const std::string path = scratch().put("fuzz.ini", data, size);
    readProfileInt(path, "CONFIG", "FULL_SCREEN", 0);
    readProfileInt(path, "CONFIG", "CONFIRM_ONLINE", 1);
    // No line of the file can be the key below: it holds a line end.
    if (readProfileInt(path, "CONFIG", "NO\nSUCH", 77) != 77) return "a missing key did not give the default";
    return "";
}

}  // namespace

const Target kTargets[] = {
    {"replay", replayFile},  {"midi", midiFile},         {"wave", waveFile},     {"bitmap", bitmap},
    {"ranking", rankingList}, {"system_save", systemSave}, {"config", configFile}, {nullptr, nullptr},
};

const Target* findTarget(const std::string& name) {
    for (const Target* t = kTargets; t->name != nullptr; ++t)
        if (name == t->name) return t;
    return nullptr;
}

}  // namespace fuzz
