#include "web/ContentEncoding.h"
#include <brotli/decode.h>
#include <brotli/encode.h>
#include <zlib.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {
// Below this a compressed form saves less than its headers cost.
constexpr std::size_t kWorthCompressing = 200;

std::shared_ptr<const std::string> ifSmaller(std::string packed, std::size_t than) {
    if (packed.empty() || packed.size() >= than) return nullptr;
    return std::make_shared<const std::string>(std::move(packed));
}

// The q value an Accept-Encoding list gives a coding: -1 when not named (nor by "*").
double qualityOf(std::string_view header, std::string_view coding) {
    double named = -1, star = -1;
    std::size_t at = 0;
    while (at <= header.size()) {
        std::size_t end = header.find(',', at);
        if (end == std::string_view::npos) end = header.size();
        std::string_view item = header.substr(at, end - at);
        at = end + 1;
        const std::size_t semi = item.find(';');
        std::string_view token = item.substr(0, semi);
        while (!token.empty() && std::isspace(static_cast<unsigned char>(token.front()))) token.remove_prefix(1);
        while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back()))) token.remove_suffix(1);
        double q = 1;
        if (semi != std::string_view::npos) {
            std::string params(item.substr(semi + 1));
            const std::size_t qAt = params.find("q=");
            if (qAt != std::string::npos) q = std::strtod(params.c_str() + qAt + 2, nullptr);
        }
        auto same = [](std::string_view a, std::string_view b) {
            if (a.size() != b.size()) return false;
            for (std::size_t i = 0; i < a.size(); ++i)
                if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
            return true;
        };
        if (same(token, coding)) named = q;
        else if (token == "*") star = q;
    }
    return named >= 0 ? named : star;
}
}  // namespace

std::string etagOf(std::string_view body) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : body) h = (h ^ c) * 1099511628211ull;
    char out[24];
    std::snprintf(out, sizeof out, "\"%016llx\"", static_cast<unsigned long long>(h));
    return out;
}

std::string versionedAddress(const std::string& path, std::string_view body) {
    const std::string tag = etagOf(body);
    return path + "?v=" + tag.substr(1, tag.size() - 2);
}

EncodedBody EncodedBody::of(std::string body, Level level) {
    return of(std::make_shared<const std::string>(std::move(body)), level);
}

EncodedBody EncodedBody::of(std::shared_ptr<const std::string> body, Level level) {
    EncodedBody e;
    e.identity = std::move(body);
    if (e.identity->size() >= kWorthCompressing) {
        const bool best = level == Level::Best;
        e.gzip = ifSmaller(gzipOf(*e.identity, 9), e.identity->size());
        // Brotli's best quality is slow (a fifth of a MB a second): worth it for files made once,
        // while a page made again at every upload takes quality 9, still smaller than gzip's best,
        // and a big file made in a hurry quality 5.
        const int quality = best ? 11 : e.identity->size() > 256 * 1024 ? 5 : 9;
        e.brotli = ifSmaller(brotliOf(*e.identity, quality), e.identity->size());
    }
    return e;
}

Encoding chooseEncoding(const char* acceptEncoding, const EncodedBody& body) {
    if (!acceptEncoding) return Encoding::Identity;
    const std::string_view header(acceptEncoding);
    const double br = body.brotli ? qualityOf(header, "br") : -1;
    const double gz = body.gzip ? qualityOf(header, "gzip") : -1;
    if (br > 0 && br >= gz) return Encoding::Brotli;
    if (gz > 0) return Encoding::Gzip;
    return Encoding::Identity;
}

const std::shared_ptr<const std::string>& bodyFor(const EncodedBody& body, Encoding e) {
    switch (e) {
        case Encoding::Gzip: return body.gzip ? body.gzip : body.identity;
        case Encoding::Brotli: return body.brotli ? body.brotli : body.identity;
        default: return body.identity;
    }
}

const char* encodingName(Encoding e) {
    return e == Encoding::Gzip ? "gzip" : e == Encoding::Brotli ? "br" : nullptr;
}

std::string etagFor(const std::string& etag, Encoding e) {
    const char* name = encodingName(e);
    if (!name || etag.size() < 2) return etag;
    return etag.substr(0, etag.size() - 1) + "-" + name + "\"";
}

std::string gzipOf(std::string_view text, int level) {
    z_stream z{};
    // 15 + 16: a gzip wrapper (header and CRC) around the deflate stream; no name, no time, so
    // the same text always gives the same bytes.
    if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    std::string out(deflateBound(&z, text.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

std::string brotliOf(std::string_view text, int quality) {
    std::size_t size = BrotliEncoderMaxCompressedSize(text.size());
    if (size == 0) return {};
    std::string out(size, '\0');
    if (!BrotliEncoderCompress(quality, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_GENERIC, text.size(),
                               reinterpret_cast<const std::uint8_t*>(text.data()), &size,
                               reinterpret_cast<std::uint8_t*>(out.data())))
        return {};
    out.resize(size);
    return out;
}

bool gunzip(std::string_view stream, std::string& out) {
    out.clear();
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK) return false;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    char buffer[16384];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // cut short
    }
    inflateEnd(&z);
    return rc == Z_STREAM_END && z.avail_in == 0;
}

bool unbrotli(std::string_view stream, std::string& out) {
    out.clear();
    BrotliDecoderState* s = BrotliDecoderCreateInstance(nullptr, nullptr, nullptr);
    if (!s) return false;
    std::size_t availIn = stream.size();
    const std::uint8_t* in = reinterpret_cast<const std::uint8_t*>(stream.data());
    BrotliDecoderResult rc = BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT;
    while (rc == BROTLI_DECODER_RESULT_NEEDS_MORE_OUTPUT) {
        std::uint8_t buffer[16384];
        std::size_t availOut = sizeof buffer;
        std::uint8_t* next = buffer;
        rc = BrotliDecoderDecompressStream(s, &availIn, &in, &availOut, &next, nullptr);
        out.append(reinterpret_cast<char*>(buffer), sizeof buffer - availOut);
    }
    BrotliDecoderDestroyInstance(s);
    return rc == BROTLI_DECODER_RESULT_SUCCESS && availIn == 0;
}
