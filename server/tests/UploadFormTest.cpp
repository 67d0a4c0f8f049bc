#include <gtest/gtest.h>
#include "ServerTestSupport.h"
#include "core/TextRules.h"
#include "core/UploadForm.h"

namespace {
struct TextCase {
    std::string text;
    bool name, comment;
};

TEST(TextRules, NamesAndCommentsAreCheckedByteForByte) {
    const TextCase cases[] = {
        {"abc", true, true},
        {"", false, true},                      // a name needs a byte, a comment does not
        {"12345678", true, true},
        {"123456789", false, true},             // nine bytes
        {"q\"u;o'", true, true},                // quotes and semicolons are just characters
        {"a b", true, true},
        {" ab", false, true},                   // a space at either end would look like "ab"
        {"ab ", false, true},
        {" ", false, true},
        {".", false, true},                     // /player/. and /player/.. are no player's page
        {"..", false, true},
        {"...", true, true},
        {"caf\xc3\xa9", false, true},           // UTF-8 in a name: a byte over 0x7F
        {"\x80", false, false},                 // a lone continuation byte
        {"a\nb", false, false},                 // a line end would break the list
        {"a\tb", false, false},
        {"a\x7f", false, false},                // DEL
        {"\xc2\x85", false, false},             // NEL, a C1 control in UTF-8
        {"\xc0\xaf", false, false},             // overlong '/'
        {"\xed\xa0\x80", false, false},         // a surrogate
        {"\xf4\x90\x80\x80", false, false},     // past U+10FFFF
        {"\xe6\x97\xa5\xe6\x9c\xac", false, true},  // Japanese
        {"\xe6\x97", false, false},             // cut short
        {std::string(80, 'x'), false, true},
        {std::string(81, 'x'), false, false},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        EXPECT_EQ(textrules::validName(c.text), c.name);
        EXPECT_EQ(textrules::validComment(c.text), c.comment);
    }
    EXPECT_TRUE(textrules::validDigest("0123456789abcdef0123456789abcdef"));
    EXPECT_FALSE(textrules::validDigest(""));
    EXPECT_FALSE(textrules::validDigest("has space"));
    EXPECT_FALSE(textrules::validDigest(std::string(65, 'a')));
}

// Names are one player when they are alike after NFKC and case folding.
TEST(TextRules, ANamesKeyIsItsNfkcCaseFold) {
    const std::pair<const char*, const char*> cases[] = {
        {"Ren", "ren"},
        {"REN", "ren"},
        {"ren", "ren"},
        {"\xef\xbc\xb2\xef\xbd\x85\xef\xbd\x8e", "ren"},  // fullwidth Ｒｅｎ: NFKC
        {"Stra\xc3\x9f" "e", "strasse"},                     // ß folds to ss
        {"\xef\xac\x81x", "fix"},                             // the ligature ﬁ
        {"a b", "a b"},
    };
    for (const auto& [name, key] : cases) EXPECT_EQ(textrules::nameKey(name), key) << name;
    EXPECT_NE(textrules::nameKey("Ren"), textrules::nameKey("Ren2"));
}

TEST(UploadCollector, GathersPiecesAndSpoilsOnRepeatsOrOverlongFields) {
    UploadCollector c;
    EXPECT_TRUE(c.add("name", 0, "ab"));
    EXPECT_TRUE(c.add("name", 2, "c"));
    EXPECT_TRUE(c.add("max_file_size", 0, "1000000"));
    EXPECT_TRUE(c.add("something_else", 0, "ignored"));
    EXPECT_EQ(c.fields().name, "abc");
    EXPECT_TRUE(c.fields().hasName);
    EXPECT_FALSE(c.fields().hasMessage);

    UploadCollector twice;
    twice.add("name", 0, "a");
    EXPECT_FALSE(twice.add("name", 0, "b"));
    EXPECT_TRUE(twice.spoilt());
    EXPECT_FALSE(twice.add("pass", 0, "x")) << "a spoilt form takes nothing more";

    UploadCollector longName;
    EXPECT_FALSE(longName.add("name", 0, "123456789"));
    UploadCollector gap;
    gap.add("message", 0, "ab");
    EXPECT_FALSE(gap.add("message", 5, "cd")) << "a piece that does not follow on";

    // What the parser hands over when a segment ends a few bytes into a field: an empty piece at
    // offset 0, then the bytes at offset 0; empty pieces may come anywhere.
    UploadCollector cut;
    EXPECT_TRUE(cut.add("name", 0, ""));
    EXPECT_TRUE(cut.add("name", 0, "ab"));
    EXPECT_TRUE(cut.add("name", 2, ""));
    EXPECT_TRUE(cut.add("name", 2, "c"));
    EXPECT_EQ(cut.fields().name, "abc");
    EXPECT_FALSE(cut.add("name", 0, "x")) << "a second field of the name is still a repeat";
}

TEST(FormEnd, StopsAtTheFirstClosingDelimiterEvenAcrossPieces) {
    EXPECT_EQ(FormEnd::boundaryOf("multipart/form-data; boundary=\"--7d4\""), "--7d4");
    EXPECT_EQ(FormEnd::boundaryOf("multipart/form-data; boundary=--7d4; charset=x"), "--7d4");
    EXPECT_EQ(FormEnd::boundaryOf("multipart/form-data"), "");
    EXPECT_EQ(FormEnd::boundaryOf("multipart/form-data; boundary=\"unclosed"), "");

    const std::string body = "----7d4\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n----7d4--\r\n----7d4--\r\n";
    const std::size_t formEnd = body.find("----7d4--") + 9;
    for (std::size_t split = 0; split <= body.size(); ++split) {
        FormEnd end("--7d4");
        const std::size_t first = end.take(std::string_view(body).substr(0, split));
        const std::size_t second = end.take(std::string_view(body).substr(split));
        ASSERT_TRUE(end.ended()) << split;
        ASSERT_EQ(first + second, formEnd) << "split at " << split;
        EXPECT_EQ(end.take("more"), 0u);
    }
    FormEnd open("--7d4");
    EXPECT_EQ(open.take("----7d4\r\nno end"), 15u);
    EXPECT_FALSE(open.ended());
}

class CheckUpload : public ::testing::Test {
protected:
    static void SetUpTestSuite() { replay_ = new std::string(testplays::honest(ModeFirstLap, 200)); }
    static void TearDownTestSuite() { delete replay_; }
    UploadFields fields(std::string replay) {
        UploadFields f;
        f.name = "abc";
        f.pass = "0123456789abcdef0123456789abcdef";
        f.message = "hi";
        f.replay = std::move(replay);
        f.hasName = f.hasPass = f.hasMessage = f.hasReplay = true;
        return f;
    }
    // The same file with a header of 36 bytes: the reader skips what it does not know.
    static std::string largerHeader(std::string replay) {
        replay[18] = 36;
        return replay.insert(18 + 4 + 32, 4, '\x7f');
    }
    static std::string* replay_;
};
std::string* CheckUpload::replay_ = nullptr;

TEST_F(CheckUpload, AnHonestFormPassesWithItsClaim) {
    const UploadCheck check = checkUpload(fields(*replay_));
    ASSERT_TRUE(check.ok) << check.problem;
    EXPECT_EQ(check.request.header.gameMode, ModeFirstLap);
    EXPECT_EQ(check.request.header.frames, testplays::field(*replay_, 7));
    EXPECT_EQ(check.request.replay, *replay_);
}

TEST_F(CheckUpload, AFileTheReaderTakesButTheGameNeverWritesIsRefused) {
    // The reader is lenient: each of these reads as the honest play, which is what lets them in.
    for (const std::string& dressed : {*replay_ + "tail", largerHeader(*replay_)}) {
        Score record(nullptr);
        std::istringstream in(dressed);
        ASSERT_TRUE(record.read(in));
        EXPECT_EQ(record.getHeader().frames, testplays::field(*replay_, 7));
        const UploadCheck check = checkUpload(fields(dressed));
        EXPECT_FALSE(check.ok);
        EXPECT_NE(check.problem.find("replay file"), std::string::npos) << check.problem;
    }
}

TEST_F(CheckUpload, RefusesWhatCannotBeRanked) {
    using testplays::withField;
    UploadFields noReplay = fields(*replay_);
    noReplay.hasReplay = false;
    UploadFields badName = fields(*replay_);
    badName.name = "\xe3\x81\x82";
    UploadFields badComment = fields(*replay_);
    badComment.message = "line\nbreak";
    struct Case {
        const char* what;
        UploadFields form;
        std::int64_t maxFrames;
    };
    const Case cases[] = {
        {"no replay", noReplay, kDefaultMaxFrames},
        {"name", badName, kDefaultMaxFrames},
        {"comment", badComment, kDefaultMaxFrames},
        {"not a replay", fields("NimbulonScoreFilX" + replay_->substr(17)), kDefaultMaxFrames},
        {"cut short", fields(replay_->substr(0, replay_->size() - 1)), kDefaultMaxFrames},
        {"tutorial (version 0)", fields(withField(withField(*replay_, 0, 0), 1, ModeTutorial)), kDefaultMaxFrames},
        {"version of another mode", fields(withField(*replay_, 0, 105)), kDefaultMaxFrames},
        {"no stage", fields(withField(*replay_, 3, 0).substr(0, 54)), kDefaultMaxFrames},
        {"frames over the bound", fields(*replay_), testplays::field(*replay_, 7) - 1},
        {"no frames", fields(withField(*replay_, 7, 0)), kDefaultMaxFrames},
        {"runs over the bound (a bomb)", fields(testplays::bomb(100, 40)), 60LL * 60 * 60},
        // Files the game's reader takes but the game never writes: what is stored is served again.
        {"a byte after the last trace", fields(*replay_ + '\0'), kDefaultMaxFrames},
        {"a megabyte after the last trace", fields(*replay_ + std::string(1040000, 'x')), kDefaultMaxFrames},
        {"a header four bytes longer", fields(largerHeader(*replay_)), kDefaultMaxFrames},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const UploadCheck check = checkUpload(c.form, c.maxFrames);
        EXPECT_FALSE(check.ok);
        EXPECT_FALSE(check.problem.empty());
    }
}
}  // namespace
