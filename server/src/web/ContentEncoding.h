#pragma once
#include <memory>
#include <string>
#include <string_view>

// A reply's body and its compressed forms, each made once when the body is made and then sent as
// is to every client that accepts it: no request ever compresses anything.
struct EncodedBody {
    std::shared_ptr<const std::string> identity;
    std::shared_ptr<const std::string> gzip;    // null when not smaller than the body
    std::shared_ptr<const std::string> brotli;  // null when not smaller than the body

    enum class Level { Fast, Best };  // Fast for pages made as the lists change, Best for files made once
    static EncodedBody of(std::string body, Level level = Level::Fast);
    static EncodedBody of(std::shared_ptr<const std::string> body, Level level = Level::Fast);
};

enum class Encoding { Identity, Gzip, Brotli };

// What to send for a request's Accept-Encoding (null: the header is absent): brotli over gzip when
// both are accepted and made, identity when neither is (or their q is 0).
Encoding chooseEncoding(const char* acceptEncoding, const EncodedBody& body);
const std::shared_ptr<const std::string>& bodyFor(const EncodedBody& body, Encoding e);
// The Content-Encoding value, null for identity.
const char* encodingName(Encoding e);
// A body hash as an ETag: "\"" + 16 hex digits + "\"".
std::string etagOf(std::string_view body);
// The address of a file the pages link, with ?v= the digest in its ETag: a new file, a new address.
std::string versionedAddress(const std::string& path, std::string_view body);
// The ETag of an encoded form: the body's tag with the encoding named inside its quotes, so that a
// cache never takes one form for the other.
std::string etagFor(const std::string& etag, Encoding e);

// The whole gzip stream (RFC 1952) and the whole brotli stream of a text.
std::string gzipOf(std::string_view text, int level = 9);
std::string brotliOf(std::string_view text, int quality = 11);
// The decoders, for tests and tools: false on a damaged or cut stream.
bool gunzip(std::string_view stream, std::string& out);
bool unbrotli(std::string_view stream, std::string& out);
