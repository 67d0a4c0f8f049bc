#include "core/TextRules.h"
#include <unicode/normalizer2.h>
#include <unicode/unistr.h>
#include <cstdint>

namespace textrules {
namespace {
bool printableAscii(unsigned char c) { return c >= 0x20 && c <= 0x7E; }
}  // namespace

bool validName(std::string_view name) {
    if (name.empty() || name.size() > kMaxName || name == "." || name == "..") return false;
    if (name.front() == ' ' || name.back() == ' ') return false;
    for (unsigned char c : name)
        if (!printableAscii(c)) return false;
    return true;
}

std::string nameKey(std::string_view name) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* fold = icu::Normalizer2::getNFKCCasefoldInstance(status);
    if (U_FAILURE(status)) return {};
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(
        icu::StringPiece(name.data(), static_cast<std::int32_t>(name.size())));
    const icu::UnicodeString folded = fold->normalize(text, status);
    if (U_FAILURE(status)) return {};
    std::string out;
    folded.toUTF8String(out);
    return out;
}

bool validDigest(std::string_view digest) {
    if (digest.empty() || digest.size() > kMaxDigest) return false;
    for (unsigned char c : digest)
        if (!printableAscii(c) || c == ' ') return false;
    return true;
}

bool validComment(std::string_view comment) {
    if (comment.size() > kMaxComment) return false;
    std::size_t i = 0;
    while (i < comment.size()) {
        const auto c = static_cast<unsigned char>(comment[i]);
        std::uint32_t cp = 0;
        std::size_t len = 0;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            len = 2;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (i + len > comment.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto cc = static_cast<unsigned char>(comment[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return false;
        i += len;
    }
    return true;
}
}  // namespace textrules
