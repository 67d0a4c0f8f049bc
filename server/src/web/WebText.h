#pragma once
#include <string>
#include <string_view>

// Text a player typed, made safe for the page or the JSON it is put into. Both keep every
// character as sent; a byte that is not part of well-formed UTF-8 (an entry stored before the
// server checked comments) becomes U+FFFD rather than something a browser might read otherwise.
namespace webtext {
// For HTML text and double-quoted attribute values: & < > " ' as character references.
std::string html(std::string_view text);
// A JSON string literal with its quotes; control characters and the characters that could end
// a script or a comment in a page (< > &, U+2028, U+2029) as \u escapes.
std::string json(std::string_view text);
// Only the bytes [A-Za-z0-9_-]: for a file name in a header, whatever the player's name.
std::string fileSafe(std::string_view text);
// %XX-encodes everything but [A-Za-z0-9_.~-], for a name put into a link.
std::string percentEncode(std::string_view text);
}  // namespace webtext
