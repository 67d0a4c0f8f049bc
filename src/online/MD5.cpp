#include "online/MD5.h"
#include <cstring>
#include <iostream>

namespace {
// Shift amounts of the four rounds, four per round.
constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

// floor(2^32 x |sin(i + 1)|), i = 0..63.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr std::uint32_t rotateLeft(std::uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void encode(unsigned char* out, const std::uint32_t* in, int words) {
    for (int i = 0; i < words; ++i)
        for (int b = 0; b < 4; ++b) out[4 * i + b] = static_cast<unsigned char>(in[i] >> (8 * b));
}
}  // namespace

MD5::MD5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, count_{0, 0}, buffer_{}, digest_{} {}

void MD5::update(const std::string& bytes) {
    update(reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<std::uint32_t>(bytes.size()));
}

void MD5::update(const unsigned char* input, std::uint32_t length) {
    if (finalized_) {
        std::cerr << "MD5::update:  Can't update a finalized digest!" << std::endl;
        return;
    }
    std::uint32_t index = (count_[0] >> 3) & 0x3F;  // bytes already waiting in the buffer
    const std::uint32_t bits = length << 3;
    count_[0] += bits;
    if (count_[0] < bits) ++count_[1];
    count_[1] += length >> 29;

    const std::uint32_t room = 64 - index;
    std::uint32_t i = 0;
    if (length >= room) {
        std::memcpy(buffer_ + index, input, room);
        transform(buffer_);
        for (i = room; i + 63 < length; i += 64) transform(input + i);
        index = 0;
    }
    if (length > i) std::memcpy(buffer_ + index, input + i, length - i);
}

void MD5::finalize() {
    if (finalized_) {
        std::cerr << "MD5::finalize:  Already finalized this digest!" << std::endl;
        return;
    }
    static const unsigned char kPadding[64] = {0x80};
    unsigned char bits[8];
    encode(bits, count_, 2);
    // Pad to 56 bytes modulo 64, then the 64-bit length.
    const std::uint32_t index = (count_[0] >> 3) & 0x3F;
    const std::uint32_t padLength = index < 56 ? 56 - index : 120 - index;
    update(kPadding, padLength);
    update(bits, 8);
    encode(digest_, state_, 4);
    std::memset(buffer_, 0, sizeof buffer_);
    finalized_ = true;
}

std::string MD5::hex_digest() const {
    if (!finalized_) {
        std::cerr << "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!" << std::endl;
        return std::string();
    }
    static const char kHex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = kHex[digest_[i] >> 4];
        out[2 * i + 1] = kHex[digest_[i] & 0xF];
    }
    return out;
}

std::string MD5::hexOf(const std::string& bytes) {
    MD5 md5;
    md5.update(bytes);
    md5.finalize();
    return md5.hex_digest();
}

void MD5::transform(const unsigned char block[64]) {
    std::uint32_t x[16];
    for (int i = 0; i < 16; ++i)
        x[i] = static_cast<std::uint32_t>(block[4 * i]) | (static_cast<std::uint32_t>(block[4 * i + 1]) << 8) |
               (static_cast<std::uint32_t>(block[4 * i + 2]) << 16) | (static_cast<std::uint32_t>(block[4 * i + 3]) << 24);

    std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
    for (int step = 0; step < 64; ++step) {
        const int round = step / 16;
        std::uint32_t f;
        int word;
        switch (round) {
            case 0: f = (b & c) | (~b & d); word = step; break;
            case 1: f = (b & d) | (c & ~d); word = (5 * step + 1) % 16; break;
            case 2: f = b ^ c ^ d; word = (3 * step + 5) % 16; break;
            default: f = c ^ (b | ~d); word = (7 * step) % 16; break;
        }
        const std::uint32_t next = b + rotateLeft(a + f + kSine[step] + x[word], kShift[round][step % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state_[0] += a;
    state_[1] += b;
    state_[2] += c;
    state_[3] += d;
}
