#include "app/SystemSave.h"
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>
#include "app/AtomicFile.h"
#include "app/Log.h"

namespace {
constexpr std::int32_t kTutorialMark = 1;
constexpr std::int32_t kShortCourseMark = 12345;
constexpr std::int32_t kFullCourseMark = 999;
constexpr const char* kSource = "SystemSave";

// 0 when the read fails, as a failed read leaves the word zero.
std::int32_t readWord(std::ifstream& in) {
    unsigned char b[4] = {};
    if (!in.read(reinterpret_cast<char*>(b), 4)) return 0;
    return static_cast<std::int32_t>(b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24));
}

// A length word, then that many bytes; the text ends at the first zero byte. A length beyond the
// end of the file takes what is there, without allocating more than the file holds. A negative
// length, which no save ever holds, reads as an empty text and marks the file as damaged.
std::string readText(std::ifstream& in, bool& damaged) {
    const std::int32_t n = readWord(in);
    if (n < 0) damaged = true;
    if (n <= 0) return {};
    std::string text;
    char chunk[4096];
    std::int64_t left = n;
    while (left > 0 && in) {
        const auto want = static_cast<std::streamsize>(left < 4096 ? left : 4096);
        in.read(chunk, want);
        text.append(chunk, static_cast<std::size_t>(in.gcount()));
        left -= want;
    }
    const auto zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

void putWord(std::vector<unsigned char>& out, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(u >> (8 * i)));
}

void putText(std::vector<unsigned char>& out, const std::string& s) {
    putWord(out, static_cast<std::int32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}
}  // namespace

SystemSave::SystemSave(std::string path, Log* log) : path_(std::move(path)), log_(log) { Read(); }

void SystemSave::Read() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return;
    tutorialCleared = readWord(in) == kTutorialMark;
    shortCourseCleared = readWord(in) == kShortCourseMark;
    fullCourseCleared = readWord(in) == kFullCourseMark;
    bool damaged = false;
    name = readText(in, damaged);
    password = readText(in, damaged);
    comment = readText(in, damaged);
    // Every field of a whole file is read without touching its end; a short one (or a folder in
    // the file's place) fails a read on the way. The record fills the file exactly, so bytes after
    // it, like a negative length, say that this is not a save as the game writes it.
    if (in && in.peek() != std::ifstream::traits_type::eof()) damaged = true;
    if ((!in || damaged) && log_)
        LOG_WRITE(log_, kSource, "システムセーブが壊れている。読めたところまで使う。ファイル名：" + path_);
}

bool SystemSave::Write() const {
    std::vector<unsigned char> out;
    putWord(out, tutorialCleared ? kTutorialMark : 0);
    putWord(out, shortCourseCleared ? kShortCourseMark : 0);
    putWord(out, fullCourseCleared ? kFullCourseMark : 0);
    putText(out, name);
    putText(out, password);
    putText(out, comment);
    if (writeFileAtomically(path_, out)) return true;
    if (log_) LOG_WRITE(log_, kSource, "システムセーブの書き出しに失敗。前のセーブはそのまま。ファイル名：" + path_);
    return false;
}
