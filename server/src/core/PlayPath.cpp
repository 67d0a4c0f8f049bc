#include "core/PlayPath.h"
#include <sodium.h>
#include <cstdlib>

namespace {
std::uint32_t zigzag(std::int32_t v) { return (static_cast<std::uint32_t>(v) << 1) ^ static_cast<std::uint32_t>(v >> 31); }
std::int32_t unzigzag(std::uint32_t v) { return static_cast<std::int32_t>((v >> 1) ^ (~(v & 1) + 1)); }

void putVarint(std::string& out, std::uint64_t v) {
    while (v >= 0x80) {
        out += static_cast<char>(v | 0x80);
        v >>= 7;
    }
    out += static_cast<char>(v);
}

struct Reader {
    std::string_view bytes;
    std::size_t at = 0;
    bool ok = true;
    std::uint64_t varint() {
        std::uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at >= bytes.size()) break;
            const auto b = static_cast<unsigned char>(bytes[at++]);
            v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        ok = false;
        return 0;
    }
    std::int32_t signedVarint() {
        const std::uint64_t v = varint();
        if (v > 0xFFFFFFFFu) ok = false;
        return unzigzag(static_cast<std::uint32_t>(v));
    }
};

// The ship's place and the item count fit these with room to spare; anything outside is no path
// the check wrote.
constexpr std::int32_t kBound = 1 << 24;
bool inBounds(std::int64_t v) { return v > -kBound && v < kBound; }

std::uint64_t fnv(std::uint64_t h, std::int64_t v) {
    for (int i = 0; i < 8; ++i) {
        h ^= static_cast<std::uint64_t>(v >> (8 * i)) & 0xFF;
        h *= 0x100000001b3ULL;
    }
    return h;
}
}  // namespace

// Layout: point count; the first point (x, y, items); runs of equal steps (dx, dy, frames) until
// every frame is covered; the count of item changes, then each as (frames since the last, change).
std::string PlayPath::encode() const {
    std::string out;
    putVarint(out, points.size());
    if (points.empty()) return out;
    putVarint(out, zigzag(points[0].x));
    putVarint(out, zigzag(points[0].y));
    putVarint(out, zigzag(points[0].items));
    for (std::size_t i = 1; i < points.size();) {
        const std::int32_t dx = points[i].x - points[i - 1].x, dy = points[i].y - points[i - 1].y;
        std::size_t run = 1;
        while (i + run < points.size() && points[i + run].x - points[i + run - 1].x == dx &&
               points[i + run].y - points[i + run - 1].y == dy)
            ++run;
        putVarint(out, zigzag(dx));
        putVarint(out, zigzag(dy));
        putVarint(out, run);
        i += run;
    }
    std::string changes;
    std::size_t count = 0, last = 0;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (points[i].items == points[i - 1].items) continue;
        putVarint(changes, i - last);
        putVarint(changes, zigzag(points[i].items - points[i - 1].items));
        last = i;
        ++count;
    }
    putVarint(out, count);
    return out + changes;
}

std::optional<PlayPath> PlayPath::decode(std::string_view bytes, std::int64_t maxPoints) {
    Reader in{bytes};
    const std::uint64_t n = in.varint();
    if (!in.ok || n > static_cast<std::uint64_t>(maxPoints)) return std::nullopt;
    PlayPath path;
    if (n == 0) return in.at == bytes.size() ? std::optional<PlayPath>(path) : std::nullopt;
    path.points.reserve(n);
    Point p;
    p.x = in.signedVarint();
    p.y = in.signedVarint();
    p.items = in.signedVarint();
    if (!in.ok || !inBounds(p.x) || !inBounds(p.y) || !inBounds(p.items)) return std::nullopt;
    path.points.push_back(p);
    while (path.points.size() < n) {
        const std::int32_t dx = in.signedVarint(), dy = in.signedVarint();
        const std::uint64_t run = in.varint();
        if (!in.ok || run == 0 || run > n - path.points.size()) return std::nullopt;
        const Point from = path.points.back();
        if (!inBounds(from.x + static_cast<std::int64_t>(dx) * static_cast<std::int64_t>(run)) ||
            !inBounds(from.y + static_cast<std::int64_t>(dy) * static_cast<std::int64_t>(run)))
            return std::nullopt;
        for (std::uint64_t k = 0; k < run; ++k) {
            p = path.points.back();
            p.x += dx;
            p.y += dy;
            path.points.push_back(p);
        }
    }
    // Each change holds from its frame to the next one's (or the end): every frame written once.
    const std::uint64_t changes = in.varint();
    std::uint64_t at = 0;
    if (!in.ok || changes >= n) return std::nullopt;
    std::int64_t items = path.points[0].items;
    for (std::uint64_t c = 0; c < changes; ++c) {
        const std::uint64_t gap = in.varint();
        const std::int32_t change = in.signedVarint();
        if (!in.ok || gap == 0 || gap >= n - at || change == 0) return std::nullopt;
        for (std::uint64_t i = at + 1; i < at + gap; ++i) path.points[i].items = static_cast<std::int32_t>(items);
        at += gap;
        items += change;
        if (!inBounds(items)) return std::nullopt;
        path.points[at].items = static_cast<std::int32_t>(items);
    }
    for (std::uint64_t i = at + 1; i < n; ++i) path.points[i].items = static_cast<std::int32_t>(items);
    if (in.at != bytes.size()) return std::nullopt;
    return path;
}

std::string PlayPath::toText() const { return textOf(encode()); }

std::string PlayPath::textOf(std::string_view bytes) {
    std::string text(sodium_base64_ENCODED_LEN(bytes.size(), sodium_base64_VARIANT_ORIGINAL_NO_PADDING), '\0');
    sodium_bin2base64(text.data(), text.size(), reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                      sodium_base64_VARIANT_ORIGINAL_NO_PADDING);
    text.resize(text.size() - 1);  // the terminating zero
    return text;
}

std::optional<PlayPath> PlayPath::fromText(std::string_view text, std::int64_t maxPoints) {
    std::string bytes(text.size() * 3 / 4 + 3, '\0');
    std::size_t length = 0;
    if (sodium_base642bin(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size(), text.data(), text.size(),
                          nullptr, &length, nullptr, sodium_base64_VARIANT_ORIGINAL_NO_PADDING) != 0)
        return std::nullopt;
    bytes.resize(length);
    return decode(bytes, maxPoints);
}

PathLikeness PathLikeness::of(const PlayPath& a, const PlayPath& b) {
    PathLikeness l;
    const std::size_t n = std::min(a.points.size(), b.points.size());
    l.frames = static_cast<std::int32_t>(n);
    for (std::size_t i = 1; i < n; ++i) {
        const PlayPath::Point &p = a.points[i], &q = b.points[i];
        const PlayPath::Point &p0 = a.points[i - 1], &q0 = b.points[i - 1];
        if (p.x == p0.x && p.y == p0.y && q.x == q0.x && q.y == q0.y) continue;
        ++l.moving;
        if (std::abs(p.x - q.x) <= kNear && std::abs(p.y - q.y) <= kNear) ++l.near;
    }
    return l;
}

std::vector<std::int64_t> pathKeys(const PlayPath& path, std::int32_t mode, std::int32_t version) {
    constexpr std::size_t kWindow = 600, kStep = 60, kCell = 4;  // ten seconds, one a second, 16 px
    std::vector<std::int64_t> keys;
    if (path.points.size() < static_cast<std::size_t>(PathLikeness::kMinFrames)) return keys;
    for (std::size_t w = 0; (w + 1) * kWindow <= path.points.size(); ++w) {
        std::uint64_t h = fnv(fnv(fnv(0xcbf29ce484222325ULL, mode), version), static_cast<std::int64_t>(w));
        bool moved = false;
        const PlayPath::Point& first = path.points[w * kWindow];
        for (std::size_t f = w * kWindow; f < (w + 1) * kWindow; f += kStep) {
            const PlayPath::Point& p = path.points[f];
            const std::int32_t cx = p.x >> kCell, cy = p.y >> kCell;
            moved = moved || cx != first.x >> kCell || cy != first.y >> kCell;
            h = fnv(fnv(h, cx), cy);
        }
        if (moved) keys.push_back(static_cast<std::int64_t>(h));
    }
    return keys;
}

std::vector<std::int64_t> lookupKeys(const std::vector<std::int64_t>& keys, std::size_t most) {
    if (keys.size() <= most) return keys;
    std::vector<std::int64_t> out;
    for (std::size_t i = 0; i < most; ++i) out.push_back(keys[i * keys.size() / most]);
    return out;
}
