#pragma once
#include <cstdint>
#include <string>

// The MD5 message digest of RFC 1321, fed in pieces. Only the password of the online ranking is
// hashed with it: the server sees the 32 hexadecimal characters, never the password.
//
//   MD5 md5;
//   md5.update(bytes, length);   // as often as needed
//   md5.finalize();
//   std::string hex = md5.hex_digest();
class MD5 {
public:
    MD5();

    // Feeds bytes. After finalize it complains on standard error and changes nothing.
    void update(const unsigned char* input, std::uint32_t length);
    void update(const std::string& bytes);
    // Appends the padding and the bit count and fixes the digest. A second call complains on
    // standard error and changes nothing.
    void finalize();
    // The 16 digest bytes as 32 lowercase hexadecimal characters; before finalize it complains
    // on standard error and gives "".
    std::string hex_digest() const;
    bool finalized() const { return finalized_; }

    // The whole digest of one string in one call.
    static std::string hexOf(const std::string& bytes);

private:
    void transform(const unsigned char block[64]);

    std::uint32_t state_[4];
    std::uint32_t count_[2];  // bits so far, modulo 2^64, low word first
    unsigned char buffer_[64];
    unsigned char digest_[16];
    bool finalized_ = false;
};
