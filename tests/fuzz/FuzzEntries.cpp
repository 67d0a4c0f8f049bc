#include "FuzzEntries.h"
#include <algorithm>
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
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include "http/HttpServer.h"
#include "http/Passwords.h"
#include "storage/RankingList.h"
#include "checks/ReplayChecker.h"
#include "http/ServerOptions.h"
#include "storage/Storage.h"
#include "core/UploadForm.h"
#include "http/UploadService.h"
#include "online/RankingProtocol.h"
#include "online/ServerConfig.h"
#include "records/GameMode.h"

namespace fuzz {

namespace {

// The header the game's client sends with an upload.
constexpr const char* kUploadContentType =
    "multipart/form-data; boundary=\"---------------------------7d44f2d130918\"";

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

// The ranking server's upload form: the body in pieces up to the form's end, then the fields
// piece by piece as the multipart parser hands them over, then the checks of the form. Input:
// records of (field byte, length byte, cut byte, bytes); a field byte with its top bit set starts
// the field again (a repeated field), the cut byte says where the network splits the record's
// bytes, and the bytes of all records are also the body seen by the form's end.
std::string uploadForm(const std::uint8_t* data, std::size_t size) {
    static const char* const kKeys[] = {"name", "pass", "message", "replay_file", "max_file_size"};
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    FormEnd end(FormEnd::boundaryOf(kUploadContentType));
    std::size_t taken = 0, at = 0;
    for (std::size_t piece = 1; at < size; piece = piece * 3 % 61 + 1) {
        const std::string_view part = body.substr(at, piece);
        const std::size_t n = end.take(part);
        if (n > part.size()) return "the form's end took more than the piece";
        taken += n;
        at += part.size();
    }
    const std::string closing = "-----------------------------7d44f2d130918--";
    if (end.ended() != (body.find(closing) != std::string_view::npos)) return "the form's end missed its delimiter";
    if (end.ended() && taken != body.find(closing) + closing.size()) return "the form does not end right after its delimiter";

    // The same pieces twice: whole, and cut where the fuzzer says with the empty pieces the
    // multipart parser hands over around a cut (before a field's first bytes, and at each cut).
    // Where the network cuts a body must change nothing.
    UploadCollector form, cutForm;
    std::uint64_t offsets[5] = {};
    for (std::size_t i = 0; i + 3 <= size;) {
        const int key = (data[i] & 0x7F) % 5;
        const std::size_t length = std::min<std::size_t>(data[i + 1], size - i - 3);
        const std::size_t cut = std::min<std::size_t>(data[i + 2], length);
        if (data[i] & 0x80) offsets[key] = 0;
        const std::string_view piece = body.substr(i + 3, length);
        form.add(kKeys[key], offsets[key], piece);
        cutForm.add(kKeys[key], offsets[key], "");
        cutForm.add(kKeys[key], offsets[key], piece.substr(0, cut));
        cutForm.add(kKeys[key], offsets[key] + cut, "");
        cutForm.add(kKeys[key], offsets[key] + cut, piece.substr(cut));
        offsets[key] += length;
        i += 3 + length;
    }
    const UploadFields& a = form.fields();
    const UploadFields& b = cutForm.fields();
    // A spoilt form is refused whole: what it had gathered when it was spoilt is never looked at.
    if (form.spoilt() != cutForm.spoilt()) return "a body cut in other places was spoilt in one place only";
    if (!form.spoilt() && (a.name != b.name || a.pass != b.pass || a.message != b.message || a.replay != b.replay ||
                           a.hasName != b.hasName || a.hasPass != b.hasPass || a.hasReplay != b.hasReplay))
        return "a body cut in other places gave another form";
    const UploadCheck check = checkUpload(form.fields(), 36000);
    if (!check.ok) return "";
    Score record(nullptr);
    std::istringstream in(check.request.replay);
    if (!record.read(in)) return "an accepted upload holds no replay";
    const ScoreHeader h = record.getHeader();
    if (h.version < 104 || h.version > 107 || h.version != replayVersionOf(h.gameMode) || h.stages < 1)
        return "an accepted upload of an unranked replay";
    if (h.frames < 1 || h.frames > 36000) return "an accepted upload past the frame bound";
    return "";
}

// data/server.txt, read as the records scene's connector reads it, and the host and paths taken
// apart as a request is prepared.
std::string serverFile(const std::uint8_t* data, std::size_t size) {
    const ServerConfig config = ServerConfig::load(scratch().put("server.txt", data, size));
    for (const std::string* line : {&config.host, &config.listPath, &config.replayPath, &config.uploadPath})
        if (line->size() > ServerConfig::kMaxLineChars) return "a line longer than 98 characters";
    ServerAddress address;
    if (parseServerAddress(config.host, address)) {
        if (address.host.empty() || address.port < 1 || address.port > 65535) return "a usable host without host or port";
        for (char c : address.host)
            if (c == '/' || c == '?' || c == '#' || c == '@' || c == ' ' || static_cast<unsigned char>(c) < 0x21)
                return "a usable host that can change the request's URL";
    }
    for (const std::string* path : {&config.listPath, &config.replayPath, &config.uploadPath})
        if (isUsableRequestPath(*path) && (path->empty() || path->front() != '/')) return "a usable path not from the root";
    return "";
}

// The ranking server's replies as the connector takes them: a replay download (a refused one
// leaves the record as it was) and the upload's answer.
std::string connectorReply(const std::uint8_t* data, std::size_t size) {
    const std::string body(reinterpret_cast<const char*>(data), size);
    Score record(nullptr);
    const std::vector<unsigned char> fresh = record.toBytes();
    if (!ranking::readReplay(body, record)) {
        if (record.toBytes() != fresh) return "a refused replay reply changed the record";
    } else if (record.toBytes().empty()) {
        return "a replay reply that was taken cannot be written";
    }
    const ranking::UploadAnswer answer = ranking::uploadAnswer(body);
    const ranking::UploadAnswer expected = body.empty() ? ranking::UploadAnswer::Stored
                                           : body[0] == '1' ? ranking::UploadAnswer::NameTakenOrWrongPassword
                                           : body[0] == '2' ? ranking::UploadAnswer::NotProcessed
                                                            : ranking::UploadAnswer::Stored;
    if (answer != expected) return "the upload's answer is not what its first byte says";
    return "";
}

// One ranking server for the whole run, on a loopback port, with a database in the scratch
// folder; its checks fail at once (the fuzzer looks at the request handling, not the simulation).
class LoopbackServer {
public:
    LoopbackServer()
        : storage_((passwords::init(), openStorage(scratch().path("http.sqlite")))),
          cache_(*storage_, std::chrono::milliseconds(0)),
          checker_("/bin/false", {36000, 1, 64}),
          uploads_(*storage_, checker_, &cache_, 1, 8),
          http_(options(), *storage_, cache_, uploads_) {
        std::string error;
        if (!http_.start(error)) std::abort();
    }
    std::uint16_t port() const { return http_.port(); }

private:
    static ServerOptions options() {
        ServerOptions o;
        o.port = 0;
        o.threads = 1;
        o.quiet = true;
        o.idleTimeout = 2;
        o.requestDeadline = 2;
        return o;
    }
    std::unique_ptr<Storage> storage_;
    RankingCache cache_;
    ReplayChecker checker_;
    UploadService uploads_;
    HttpServer http_;
};

// The server's request handling from the socket up: the first byte says how many cuts (0..7), the
// next bytes where (each 1..256 bytes on), the rest is sent as the request in those pieces, then
// the sending side is closed. Whatever the bytes, the server answers with an HTTP response or
// closes, and goes on serving.
std::string httpRequest(const std::uint8_t* data, std::size_t size) {
    static LoopbackServer server;
    if (size == 0) return "";
    std::size_t cuts = data[0] % 8, at = 1;
    std::vector<std::size_t> pieces;
    for (; cuts > 0 && at < size; --cuts, ++at) pieces.push_back(std::size_t(data[at]) + 1);
    const std::string_view request(reinterpret_cast<const char*>(data) + std::min(at, size), size - std::min(at, size));

    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) std::abort();
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(server.port());
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval wait{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return "the server does not take connections";
    }
    std::size_t sent = 0;
    for (std::size_t i = 0; sent < request.size(); ++i) {
        const std::size_t n = std::min(i < pieces.size() ? pieces[i] : request.size(), request.size() - sent);
        if (::send(fd, request.data() + sent, n, MSG_NOSIGNAL) <= 0) break;
        sent += n;
    }
    ::shutdown(fd, SHUT_WR);
    std::string reply;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        if (reply.size() < 64) reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (!reply.empty() && reply.rfind("HTTP/1.", 0) != 0) return "a reply that is not HTTP";
    return "";
}

}  // namespace

const Target kTargets[] = {
    {"replay", replayFile},  {"midi", midiFile},         {"wave", waveFile},     {"bitmap", bitmap},
    {"ranking", rankingList}, {"system_save", systemSave}, {"config", configFile}, {"upload_form", uploadForm},
    {"server_txt", serverFile}, {"connector_reply", connectorReply},
    {"http_request", httpRequest}, {nullptr, nullptr},
};

const Target* findTarget(const std::string& name) {
    for (const Target* t = kTargets; t->name != nullptr; ++t)
        if (name == t->name) return t;
    return nullptr;
}

}  // namespace fuzz
