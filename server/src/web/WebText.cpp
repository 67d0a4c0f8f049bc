#include "web/WebText.h"
#include <cstdint>
#include <cstdio>

namespace webtext {
namespace {
// The length of the well-formed UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t sequence(std::string_view text, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) return 0;
        cp = cp << 6 | (b(i + k) & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// Calls emit(piece, isAscii) for each character, U+FFFD for each byte that does not belong.
template <typename Emit>
void characters(std::string_view text, Emit emit) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequence(text, i);
        if (n == 0) {
            emit(std::string_view("\xEF\xBF\xBD"), false);
            ++i;
        } else {
            emit(text.substr(i, n), n == 1);
            i += n;
        }
    }
}
}  // namespace

std::string html(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    characters(text, [&](std::string_view c, bool ascii) {
        if (!ascii) return void(out += c);
        switch (c[0]) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                // Control characters have no business in a page; a stored one shows as U+FFFD.
                if (static_cast<unsigned char>(c[0]) < 0x20 || c[0] == 0x7F) out += "\xEF\xBF\xBD";
                else out += c;
        }
    });
    return out;
}

std::string json(std::string_view text) {
    std::string out = "\"";
    characters(text, [&](std::string_view c, bool ascii) {
        const unsigned char b = static_cast<unsigned char>(c[0]);
        char escape[8];
        if (ascii && (b < 0x20 || b == 0x7F || b == '<' || b == '>' || b == '&')) {
            std::snprintf(escape, sizeof escape, "\\u%04x", b);
            out += escape;
        } else if (c == "\"" || c == "\\") {
            out += '\\';
            out += c;
        } else if (c == "\xE2\x80\xA8" || c == "\xE2\x80\xA9") {
            out += c == "\xE2\x80\xA8" ? "\\u2028" : "\\u2029";
        } else {
            out += c;
        }
    });
    return out + "\"";
}

std::string fileSafe(std::string_view text) {
    std::string out;
    for (char c : text)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') out += c;
    return out;
}

std::string percentEncode(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
            c == '~' || c == '-') {
            out += ch;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", c);
            out += escape;
        }
    }
    return out;
}
}  // namespace webtext
