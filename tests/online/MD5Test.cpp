#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>
#include "online/MD5.h"
#include "support/Prerequisite.h"

namespace {

std::string digestInPieces(const std::string& input, const std::vector<std::size_t>& cuts) {
    MD5 md5;
    std::size_t at = 0;
    for (std::size_t cut : cuts) {
        md5.update(reinterpret_cast<const unsigned char*>(input.data()) + at, static_cast<std::uint32_t>(cut - at));
        at = cut;
    }
    md5.update(reinterpret_cast<const unsigned char*>(input.data()) + at, static_cast<std::uint32_t>(input.size() - at));
    md5.finalize();
    return md5.hex_digest();
}

TEST(MD5Test, Rfc1321TestSuite) {
    const struct {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MD5::hexOf(c.input), c.digest) << '"' << c.input << '"';
        // The same bytes one at a time cross every block boundary in the smallest steps.
        std::vector<std::size_t> everyByte;
        for (std::size_t i = 1; i < std::string(c.input).size(); ++i) everyByte.push_back(i);
        EXPECT_EQ(digestInPieces(c.input, everyByte), c.digest) << '"' << c.input << "\" byte by byte";
    }
}

TEST(MD5Test, SixtyFourBytesAtOnceOrOneByOne) {
    std::string block(64, '\0');
    for (int i = 0; i < 64; ++i) block[i] = static_cast<char>(i * 7 + 3);
    std::vector<std::size_t> everyByte;
    for (std::size_t i = 1; i < 64; ++i) everyByte.push_back(i);
    EXPECT_EQ(digestInPieces(block, {}), digestInPieces(block, everyByte));
}

// Random inputs of every length from 0 to 200 bytes (and a few long ones), each fed in random
// pieces, against Python's hashlib.
TEST(MD5Test, AgreesWithHashlibOnRandomInputsInRandomPieces) {
    NIMBULON_REQUIRE("python3", std::filesystem::exists("/usr/bin/python3"), "no /usr/bin/python3 to compare with");
    std::mt19937 random(20261210);
    std::vector<std::string> inputs;
    for (int length = 0; length <= 200; ++length) inputs.emplace_back(length, '\0');
    for (int length : {1000, 4096 + 7, 65536 + 55}) inputs.emplace_back(length, '\0');
    for (std::string& input : inputs)
        for (char& c : input) c = static_cast<char>(random() & 0xFF);

    const auto dir = std::filesystem::path(::testing::TempDir());
    const auto inputFile = dir / "md5_inputs.hex";
    {
        std::ofstream out(inputFile);
        for (const std::string& input : inputs) {
            for (unsigned char c : input) out << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
            out << '\n';
        }
    }
    const std::string command = "/usr/bin/python3 -c \"import hashlib,sys\n"
                                "for line in open(sys.argv[1]): print(hashlib.md5(bytes.fromhex(line.strip())).hexdigest())\" " +
                                inputFile.string();
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> expected;
    char line[64];
    while (std::fgets(line, sizeof line, pipe)) expected.emplace_back(line, 32);
    ASSERT_EQ(pclose(pipe), 0);
    ASSERT_EQ(expected.size(), inputs.size());

    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const std::string& input = inputs[i];
        std::vector<std::size_t> cuts;
        if (!input.empty()) {
            std::uniform_int_distribution<std::size_t> pick(0, input.size());
            for (int n = static_cast<int>(random() % 6); n > 0; --n) cuts.push_back(pick(random));
            std::sort(cuts.begin(), cuts.end());
        }
        EXPECT_EQ(digestInPieces(input, cuts), expected[i]) << "length " << input.size() << ", " << cuts.size() << " cuts";
    }
}

TEST(MD5Test, FinalizedDigestRefusesMoreAndSaysSo) {
    MD5 md5;
    md5.update(std::string("abc"));

    testing::internal::CaptureStderr();
    EXPECT_EQ(md5.hex_digest(), "");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "MD5::hex_digest:  Can't get digest if you haven't finalized the digest!\n");

    md5.finalize();
    testing::internal::CaptureStderr();
    md5.update(std::string("more"));
    md5.finalize();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "MD5::update:  Can't update a finalized digest!\nMD5::finalize:  Already finalized this digest!\n");
    EXPECT_EQ(md5.hex_digest(), "900150983cd24fb0d6963f7d28e17f72");
}

}  // namespace
