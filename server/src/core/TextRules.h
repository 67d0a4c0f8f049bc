#pragma once
#include <string>
#include <string_view>

// What the server accepts as a player's name, password digest and comment, whatever the client
// checked before sending. The ranking list is a text of lines, so none of them may hold a line end
// or any other control character.
namespace textrules {
constexpr std::size_t kMaxName = 8;
constexpr std::size_t kMaxDigest = 64;
constexpr std::size_t kMaxComment = 80;

// 1 to 8 bytes, each printable ASCII (0x20..0x7E), neither starting nor ending with a space, and
// neither "." nor ".." (a player's page is /player/NAME).
bool validName(std::string_view name);
// What tells one player's name from another's: the name's NFKC case fold (ICU's NFKC_Casefold),
// so that "Ren" and "ren" are one player (bytes that are not UTF-8 fold as U+FFFD). Empty only
// when ICU cannot load its data.
std::string nameKey(std::string_view name);
// 1 to 64 bytes of printable ASCII other than the space (the game sends 32 lowercase hex digits).
bool validDigest(std::string_view digest);
// Up to 80 bytes of well-formed UTF-8 (no overlong forms, surrogates or code points past
// U+10FFFF) without control characters (C0, DEL, C1).
bool validComment(std::string_view comment);
}  // namespace textrules
