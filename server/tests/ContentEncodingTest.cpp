#include <gtest/gtest.h>
#include <string>
#include "web/ContentEncoding.h"

namespace {
// A page-like text: repetitive enough to compress well, with every byte value somewhere.
std::string sampleText() {
    std::string s;
    for (int i = 0; i < 400; ++i) s += "<tr data-id=\"" + std::to_string(i * 7919 % 1000) + "\"><td>name</td></tr>\n";
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
    return s;
}

TEST(ContentEncoding, EachFormDecodesToTheBodyByteForByte) {
    const std::string text = sampleText();
    const EncodedBody body = EncodedBody::of(text, EncodedBody::Level::Best);
    ASSERT_TRUE(body.gzip && body.brotli);
    EXPECT_LT(body.gzip->size(), text.size() / 4);
    EXPECT_LT(body.brotli->size(), body.gzip->size());
    std::string out;
    ASSERT_TRUE(gunzip(*body.gzip, out));
    EXPECT_EQ(out, text);
    ASSERT_TRUE(unbrotli(*body.brotli, out));
    EXPECT_EQ(out, text);
    EXPECT_EQ(gzipOf(text), *body.gzip) << "the same text always gives the same bytes (no time in the header)";
    // A stream cut short, or with bytes after its end, is refused rather than half decoded.
    EXPECT_FALSE(gunzip(body.gzip->substr(0, body.gzip->size() - 5), out));
    EXPECT_FALSE(gunzip(*body.gzip + "x", out));
    EXPECT_FALSE(unbrotli(body.brotli->substr(0, body.brotli->size() / 2), out));

    // A body too small to gain anything is sent as it is.
    const EncodedBody tiny = EncodedBody::of(std::string("{}"));
    EXPECT_FALSE(tiny.gzip || tiny.brotli);
    EXPECT_EQ(bodyFor(tiny, chooseEncoding("gzip, br", tiny)), tiny.identity);
}

TEST(ContentEncoding, TheClientsAcceptEncodingChoosesTheForm) {
    const EncodedBody body = EncodedBody::of(sampleText());
    struct Case {
        const char* accept;
        Encoding chosen;
    };
    const Case cases[] = {
        {nullptr, Encoding::Identity},
        {"", Encoding::Identity},
        {"gzip", Encoding::Gzip},
        {"gzip, deflate, br", Encoding::Brotli},
        {"GZIP", Encoding::Gzip},
        {"br;q=0, gzip", Encoding::Gzip},
        {"br;q=0.5, gzip;q=0.8", Encoding::Gzip},
        {"gzip;q=0", Encoding::Identity},
        {"identity", Encoding::Identity},
        {"*", Encoding::Brotli},
        {"*;q=0", Encoding::Identity},
        {"gzip;q=0, *", Encoding::Brotli},
        {"xgzip, brotli", Encoding::Identity},  // names are whole tokens
    };
    for (const Case& c : cases) EXPECT_EQ(chooseEncoding(c.accept, body), c.chosen) << (c.accept ? c.accept : "(none)");
    EncodedBody gzipOnly = body;
    gzipOnly.brotli = nullptr;
    EXPECT_EQ(chooseEncoding("br, gzip", gzipOnly), Encoding::Gzip);
    EXPECT_EQ(chooseEncoding("br", gzipOnly), Encoding::Identity);
}

TEST(ContentEncoding, EachFormHasATagOfItsOwn) {
    const std::string tag = etagOf("page");
    EXPECT_EQ(etagFor(tag, Encoding::Identity), tag);
    EXPECT_EQ(etagFor(tag, Encoding::Gzip), tag.substr(0, 17) + "-gzip\"");
    EXPECT_EQ(etagFor(tag, Encoding::Brotli), tag.substr(0, 17) + "-br\"");
    EXPECT_EQ(versionedAddress("/style.css", "page"), "/style.css?v=" + tag.substr(1, 16));
}
}  // namespace
