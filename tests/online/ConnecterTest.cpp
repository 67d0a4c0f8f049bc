#include <gtest/gtest.h>
#include <sstream>
#include "OnlineFixture.h"
#include "LoopbackServer.h"
#include "online/MD5.h"
#include "online/RankingConnecter.h"
#include "online/RankingProtocol.h"

namespace {

using ConnecterTest = OnlineFixture;

std::string bodyOf(const std::string& request) { return request.substr(request.find("\r\n\r\n") + 4); }
std::string headOf(const std::string& request) { return request.substr(0, request.find("\r\n\r\n") + 2); }

const char* const kSendCaption = "スコア送信";
const char* const kReplayCaption = "リプレイ取得";
const char* const kStopped = "\nランキングシステムが停止している可能性があります。";
const char* const kReplayGone =
    "取得は失敗しました。この記録は更新されたか、削除された可能性があります。\nランキングリストを更新してみてください。";

TEST_F(ConnecterTest, UploadSendsTheMultipartFormByteForByte) {
    LoopbackServer server([](const std::string&) { return LoopbackServer::reply(200, "0"); });
    pointAt(server.port());
    Score record = play();
    const std::string digest = MD5::hexOf("secret");

    RankingConnecter connecter(&env, &log, http);
    EXPECT_TRUE(connecter.sendPlay(record, "abc", digest, "hello, world"));
    EXPECT_TRUE(boxes().empty());

    ASSERT_EQ(server.requests().size(), 1u);
    const std::string request = server.requests()[0];
    const std::string head = headOf(request);
    EXPECT_EQ(head.substr(0, head.find("\r\n")), "POST /upload HTTP/1.0");
    EXPECT_NE(head.find("\r\nUser-Agent: nimbulon000\r\n"), std::string::npos) << head;
    EXPECT_NE(head.find("\r\nContent-Type: multipart/form-data; boundary=\"---------------------------7d44f2d130918\"\r\n"),
              std::string::npos)
        << head;

    const std::string delimiter = "-----------------------------7d44f2d130918\r\n";
    const std::string expected =
        delimiter + "Content-Disposition: form-data; name=\"name\"\r\n\r\nabc\r\n" +  //
        delimiter + "Content-Disposition: form-data; name=\"pass\"\r\n\r\n" + digest + "\r\n" +
        delimiter + "Content-Disposition: form-data; name=\"message\"\r\n\r\nhello, world\r\n" +
        delimiter + "Content-Disposition: form-data; name=\"max_file_size\"\r\n\r\n1000000\r\n" +
        delimiter + "Content-Disposition: form-data; name=\"replay_file\"; filename=\"replay_file\"\r\n" +
        "Content-Type: application/octet-stream\r\n\r\n" + bytesOf(record) + "\r\n" +
        "-----------------------------7d44f2d130918--\r\n-----------------------------7d44f2d130918--\r\n";
    EXPECT_EQ(bodyOf(request), expected);
    EXPECT_NE(head.find("\r\nContent-Length: " + std::to_string(expected.size()) + "\r\n"), std::string::npos);
    // The frame around name, comment and record is 679 bytes: a 3-character name, no comment
    // and a 1000-byte record make 1682.
    EXPECT_EQ(expected.size(), 679u + 3 + 12 + bytesOf(record).size());
    EXPECT_EQ(ranking::uploadBody("abc", digest, "", std::vector<unsigned char>(1000, 7)).size(), 1682u);
}

TEST_F(ConnecterTest, ListAndReplayAreFetchedWithTheirQueries) {
    const Score stored = play(77);
    LoopbackServer server([&](const std::string& request) {
        if (request.rfind("GET /ranking?version=106 ", 0) == 0)
            return LoopbackServer::reply(200, "rank\n1\nusername\nabc\n\n");
        if (request.rfind("GET /replay?id=12 ", 0) == 0) return LoopbackServer::reply(200, bytesOf(stored));
        return LoopbackServer::reply(400, "");
    });
    pointAt(server.port());
    RankingConnecter connecter(&env, &log, http);

    std::ostringstream list;
    connecter.updateRanking(list, 106);
    EXPECT_EQ(list.str(), std::string("rank\n1\nusername\nabc\n\n") + '\0');

    Score fetched(&log);
    connecter.fetchReplay(fetched, 12);
    EXPECT_EQ(bytesOf(fetched), bytesOf(stored));
    EXPECT_TRUE(boxes().empty());
    EXPECT_NE(std::find(log.lines.begin(), log.lines.end(), "RankingConnecter: デシリアライズ完了。"), log.lines.end());

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const std::string& r : requests) {
        EXPECT_NE(r.find("HTTP/1.0\r\n"), std::string::npos) << r;
        EXPECT_NE(r.find("\r\nUser-Agent: nimbulon000\r\n"), std::string::npos) << r;
    }
}

TEST_F(ConnecterTest, StoppedServerShowsEachExchangesFailureOnce) {
    int port;
    {
        LoopbackServer gone([](const std::string&) { return std::string(); });
        port = gone.port();
    }
    pointAt(port);
    RankingConnecter connecter(&env, &log, http);
    std::ostringstream list;
    connecter.updateRanking(list, 104);
    Score record(&log);
    connecter.fetchReplay(record, 3);
    Score best = play();
    EXPECT_FALSE(connecter.sendPlay(best, "abc", MD5::hexOf("x"), ""));

    EXPECT_EQ(list.str(), "");
    EXPECT_EQ(record.getHeader().version, 0);
    ASSERT_EQ(boxes().size(), 3u);
    EXPECT_EQ(boxes()[0].text, std::string("更新は失敗しました。") + kStopped);
    EXPECT_EQ(boxes()[0].caption, kSendCaption);
    EXPECT_EQ(boxes()[1].text, std::string("取得は失敗しました。") + kStopped);
    EXPECT_EQ(boxes()[1].caption, kReplayCaption);
    EXPECT_EQ(boxes()[2].text, std::string("送信は失敗しました。") + kStopped);
    EXPECT_EQ(boxes()[2].caption, kSendCaption);
    for (const auto& box : boxes()) EXPECT_EQ(box.buttons, Dialogs::Ok);
}

TEST_F(ConnecterTest, HungServerIsGivenUpOnWithinTheBound) {
    LoopbackServer silent([](const std::string&) { return std::string(); });
    // The connector's own bounds: 5 s to connect, 20 s in all.
    http.forward = nullptr;
    pointAt(silent.port());
    RankingConnecter connecter(&env, &log, http);
    std::ostringstream list;
    connecter.updateRanking(list, 104);
    ASSERT_EQ(http.requests.size(), 1u);
    EXPECT_EQ(http.requests[0].connectTimeoutMs, 5000);
    EXPECT_EQ(http.requests[0].totalTimeoutMs, 20000);

    // The same bound, shortened, on the real client against a server that never answers.
    HttpRequest request = http.requests[0];
    request.totalTimeoutMs = 300;
    const HttpReply reply = curl.perform(request);
    EXPECT_FALSE(reply.sent);
    EXPECT_FALSE(reply.complete);
}

// A replay file of exactly SIZE bytes that reads as a whole play: one stage of runs that alternate
// between fire and nothing. What four-byte runs cannot make up goes into the header, whose size
// word lets it be longer than its eight fields (the reader skips the rest).
std::string replayOfSize(std::size_t size) {
    constexpr std::size_t kFixed = Score::kMagicBytes + 4 + 32 + 8 + 4;  // size word, header, start, run count
    const std::size_t runs = (size - kFixed) / 4, pad = (size - kFixed) % 4;
    std::string out(Score::kMagic, Score::kMagicBytes);
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>(v >> (8 * i));
    };
    put(static_cast<std::uint32_t>(32 + pad), 4);
    for (std::int32_t v : {replayVersionOf(4), 4, 0, 1, 1, 1, 0, static_cast<std::int32_t>(runs)}) put(v, 4);
    out.append(pad, '\0');
    put(0, 4);  // the ship's start
    put(0, 4);
    put(static_cast<std::uint32_t>(runs), 4);
    for (std::size_t i = 0; i < runs; ++i) {
        put(1, 2);
        put(i % 2 ? 1u << Button1 : 0, 2);
    }
    return out;
}

TEST_F(ConnecterTest, AReplayIsTakenUpToTheSizeCapAndRefusedPastIt) {
    const std::size_t cap = ranking::kMaxReplayBytes;
    const std::string atCap = replayOfSize(cap), overCap = replayOfSize(cap + 1);
    ASSERT_EQ(atCap.size(), cap);
    ASSERT_EQ(overCap.size(), cap + 1);
    // Both are whole replays: only their size sets them apart.
    for (const std::string* bytes : {&atCap, &overCap}) {
        Score whole(&log);
        ASSERT_TRUE(ranking::readReplay(*bytes, whole));
    }
    LoopbackServer server([&](const std::string& request) {
        return LoopbackServer::reply(200, request.rfind("GET /replay?id=2 ", 0) == 0 ? overCap : atCap);
    });
    pointAt(server.port());
    RankingConnecter connecter(&env, &log, http);

    Score taken(&log);
    connecter.fetchReplay(taken, 1);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(taken.getHeader().version, replayVersionOf(4));
    // Every run arrived (the header's frame count was written as the number of runs).
    EXPECT_EQ(taken.trace(0).runs().size(), static_cast<std::size_t>(taken.getHeader().frames));
    EXPECT_GT(taken.getHeader().frames, 200000);

    Score refused(&log);
    connecter.fetchReplay(refused, 2);
    EXPECT_EQ(refused.getHeader().version, 0);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, kReplayGone);
}

// Replies decided without any socket: the headless client answers from its queue.
TEST_F(ConnecterTest, UploadAnswers) {
    struct Case {
        const char* name;
        long status;
        std::string body;
        bool complete;
        bool stored;
        const char* box;  // null: none
    } cases[] = {
        {"0 stored", 200, "0", true, true, nullptr},
        {"empty answer stored", 200, "", true, true, nullptr},
        {"other first byte stored", 200, "ok\n", true, true, nullptr},
        {"1 name or password", 200, "1", true, false, "ユーザー名が既に使用されているか、パスワードが以前と違います。"},
        {"2 not processed", 200, "2 bad replay", true, false, "処理に失敗しました。"},
        {"error status", 500, "0", true, false, "処理に失敗しました。"},
        {"answer cut off before a byte", 200, "", false, false, "結果の取得に失敗しました"},
        {"answer cut off after its first byte", 200, "1", false, false, "ユーザー名が既に使用されているか、パスワードが以前と違います。"},
    };
    pointAt(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform.dialogs().shown.clear();
        http.answer(c.body, c.status, c.complete);
        Score record = play();
        EXPECT_EQ(RankingConnecter(&env, &log, http).sendPlay(record, "abc", MD5::hexOf("pw"), ""), c.stored);
        if (c.box == nullptr) {
            EXPECT_TRUE(boxes().empty());
        } else {
            ASSERT_EQ(boxes().size(), 1u);
            EXPECT_EQ(boxes()[0].text, c.box);
            EXPECT_EQ(boxes()[0].caption, kSendCaption);
            // The log tells the player's report which answer it was.
            ASSERT_FALSE(log.lines.empty());
            EXPECT_EQ(log.lines.back(), std::string("RankingConnecter: ") + kSendCaption + ": " + c.box);
        }
    }
}

TEST_F(ConnecterTest, ListAndReplayAnswersThatCarryNothing) {
    pointAt(1);
    auto queue = [&](long status, const std::string& body, bool complete) { http.answer(body, status, complete); };
    RankingConnecter connecter(&env, &log, http);

    queue(404, "not found", true);
    std::ostringstream errorPage;
    connecter.updateRanking(errorPage, 105);
    queue(200, "rank\n1\n", false);
    std::ostringstream cutOff;
    connecter.updateRanking(cutOff, 105);
    EXPECT_EQ(errorPage.str(), "");
    EXPECT_EQ(cutOff.str(), "");

    Score record(&log);
    queue(404, "", true);                 // an id the server no longer has
    connecter.fetchReplay(record, 9);
    queue(200, "<html>moved</html>", true);  // not a replay
    connecter.fetchReplay(record, 9);
    queue(200, bytesOf(play()).substr(0, 40), false);  // cut off
    connecter.fetchReplay(record, 9);
    EXPECT_EQ(record.getHeader().version, 0);

    std::vector<std::string> texts;
    for (const auto& box : boxes()) texts.push_back(box.text + " / " + box.caption);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         std::string("更新は失敗しました。") + kStopped + " / スコア送信",
                         "更新は失敗しました。 / スコア送信",
                         std::string(kReplayGone) + " / リプレイ取得",
                         std::string(kReplayGone) + " / リプレイ取得",
                         "取得は失敗しました。 / リプレイ取得",
                     }));
}

TEST_F(ConnecterTest, UnusableServerFileFailsBeforeAnythingIsSent) {
    struct Case {
        const char* name;
        const char* file;  // null: no file
        const char* logLine;
    } cases[] = {
        {"no server file", nullptr, "RankingConnecter: InternetConnect失敗"},
        {"port out of range", "127.0.0.1:70000\n/r\n/p\n/u\n", "RankingConnecter: InternetConnect失敗"},
        {"a URL where the host belongs", "http://example.org/\n/r\n/p\n/u\n", "RankingConnecter: InternetConnect失敗"},
        {"paths missing", "127.0.0.1:8080\n", "RankingConnecter: HttpOpenRequest失敗"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove("./data/server.txt");
        if (c.file) writeServerFile(c.file);
        platform.dialogs().shown.clear();
        log.lines.clear();
        RankingConnecter connecter(&env, &log, http);
        std::ostringstream list;
        connecter.updateRanking(list, 104);
        Score record(&log);
        connecter.fetchReplay(record, 1);
        Score best = play();
        EXPECT_FALSE(connecter.sendPlay(best, "abc", MD5::hexOf("x"), ""));

        EXPECT_TRUE(http.requests.empty());
        std::vector<std::string> shown;
        for (const auto& box : boxes()) shown.push_back(box.text + " / " + box.caption);
        EXPECT_EQ(shown, (std::vector<std::string>{"接続は失敗しました / ランキング更新", "接続は失敗しました / リプレイ取得",
                                                    "接続は失敗しました / スコア送信"}));
        EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), c.logLine), 3);
    }
}

TEST(ServerConfigTest, ReadsFourLinesAsWritten) {
    struct Case {
        const char* name;
        std::string text;
        ServerConfig expected;
    } cases[] = {
        {"plain", "rank.example.org\n/r.cgi\n/p.cgi\n/u.cgi\n", {"rank.example.org", "/r.cgi", "/p.cgi", "/u.cgi"}},
        {"written on Windows", "h:8080\r\n/r\r\n/p\r\n/u\r\n", {"h:8080", "/r", "/p", "/u"}},
        {"last line without its line end", "h\n/r\n/p\n/upload", {"h", "/r", "/p", "/upload"}},
        {"two lines only", "h\n/r\n", {"h", "/r", "", ""}},
        {"a long line keeps 98 characters and no more", std::string("h\n/") + std::string(120, 'a') + "\n/p\n/u\n",
         {"h", std::string("/") + std::string(97, 'a'), "/p", "/u"}},
    };
    for (const Case& c : cases) {
        std::istringstream in(c.text);
        const ServerConfig got = ServerConfig::parse(in);
        EXPECT_EQ(got.host, c.expected.host) << c.name;
        EXPECT_EQ(got.listPath, c.expected.listPath) << c.name;
        EXPECT_EQ(got.replayPath, c.expected.replayPath) << c.name;
        EXPECT_EQ(got.uploadPath, c.expected.uploadPath) << c.name;
    }
    const ServerConfig missing = ServerConfig::load("/nonexistent/server.txt");
    EXPECT_TRUE(missing.host.empty() && missing.uploadPath.empty());
}

TEST(ServerConfigTest, HostAndPort) {
    struct Case {
        const char* line;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"rank.example.org", true, "rank.example.org", 80},
        {"127.0.0.1:8080", true, "127.0.0.1", 8080},
        {" 127.0.0.1:8080 ", true, "127.0.0.1", 8080},
        {"[::1]:8081", true, "::1", 8081},
        {"[::1]", true, "::1", 80},
        {"host:65535", true, "host", 65535},
        {"", false, "", 0},
        {"host:", false, "", 0},
        {"host:0", false, "", 0},
        {"host:65536", false, "", 0},
        {"host:80a", false, "", 0},
        {"user@host", false, "", 0},
        {"host/path", false, "", 0},
        {"two words", false, "", 0},
        {"[::1", false, "", 0},
    };
    for (const Case& c : cases) {
        ServerAddress address;
        EXPECT_EQ(parseServerAddress(c.line, address), c.ok) << '"' << c.line << '"';
        if (c.ok) {
            EXPECT_EQ(address.host, c.host) << c.line;
            EXPECT_EQ(address.port, c.port) << c.line;
        }
    }
}

}  // namespace
