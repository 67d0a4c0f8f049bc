#include <gtest/gtest.h>
#include <unistd.h>
#include <cstdio>
#include <fstream>
#include "ops/ConfigFile.h"
#include "http/ServerOptions.h"

namespace {
class ConfigFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/nimbulon-config-XXXXXX";
        const int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path_ = name;
    }
    void TearDown() override { std::remove(path_.c_str()); }

    // The options a command line gives once the file holding `text` is read in its place.
    bool parse(const std::string& text, std::vector<std::string> args, ServerOptions& o, std::string& error) {
        std::ofstream(path_) << text;
        for (std::string& a : args)
            if (a == "FILE") a = path_;
        std::vector<std::string> expanded;
        if (!expandServerConfig(args, expanded, error)) return false;
        std::vector<char*> argv;
        for (std::string& a : expanded) argv.push_back(a.data());
        bool help = false;
        return parseServerOptions(static_cast<int>(argv.size()), argv.data(), o, help, error);
    }
    std::string path_;
};

TEST_F(ConfigFileTest, EveryOptionIsAKeyAndTheCommandLineAfterTheFileWins) {
    ServerOptions o;
    std::string error;
    ASSERT_TRUE(parse("# the ranking server\n"
                      "listen = 0.0.0.0:8090\n"
                      "  db=  postgresql://u@h/n  \n"
                      "\n"
                      "threads = 3\n"
                      "quiet = true\n"
                      "metrics-listen = 127.0.0.1:9100\n"
                      "list-cache-ms = 50\n",
                      {"--threads", "1", "--config", "FILE", "--list-cache-ms", "70"}, o, error))
        << error;
    EXPECT_EQ(o.host, "0.0.0.0");
    EXPECT_EQ(o.port, 8090);
    EXPECT_EQ(o.db, "postgresql://u@h/n");
    EXPECT_EQ(o.threads, 3);  // the file comes after --threads 1
    EXPECT_TRUE(o.quiet);
    EXPECT_EQ(o.metricsHost, "127.0.0.1");
    EXPECT_EQ(o.metricsPort, 9100);
    EXPECT_EQ(o.listCacheMs, 70);  // the command line after the file

    ServerOptions off;
    ASSERT_TRUE(parse("quiet = false\n", {"--config", "FILE"}, off, error)) << error;
    EXPECT_FALSE(off.quiet);
}

// An inline comment is the same for every key, a value or a switch: it never reaches the value.
TEST_F(ConfigFileTest, AnInlineCommentIsStrippedFromEveryKey) {
    ServerOptions o;
    std::string error;
    ASSERT_TRUE(parse("db = ranking.sqlite   # the live ranking\n"
                      "listen = 127.0.0.1:8090\t# loopback\n"
                      "threads = 3 #three\n"
                      "quiet = true # no line per request\n"
                      "trusted-proxy = 10.0.0.2 # the proxy\n"
                      "   # indented, a whole comment\n",
                      {"--config", "FILE"}, o, error))
        << error;
    EXPECT_EQ(o.db, "ranking.sqlite");
    EXPECT_EQ(o.port, 8090);
    EXPECT_EQ(o.threads, 3);
    EXPECT_TRUE(o.quiet);
    EXPECT_TRUE(o.trustedProxies.contains(*IpAddress::parse("10.0.0.2")));

    std::vector<ConfigEntry> entries;
    std::ofstream(path_) << "db = ranking.sqlite # x\n";
    ASSERT_TRUE(readConfigFile(path_, entries, error)) << error;
    EXPECT_EQ(entries.at(0).value, "ranking.sqlite") << "the admin command reads the same value";
}

TEST_F(ConfigFileTest, TheFloodLimitsAreKeysToo) {
    ServerOptions o;
    std::string error;
    ASSERT_TRUE(parse("connections-per-address = 8\n"
                      "head-deadline = 4\n"
                      "uploads-per-address = 0\n"
                      "uploads-per-name = 5\n"
                      "new-names-per-address = 6\n"
                      "wrong-passwords = 7\n"
                      "limit-keys = 900\n"
                      "list-size = 50\n"
                      "trusted-proxy = 10.0.0.2, 192.0.2.0/24\n",
                      {"--config", "FILE", "--trusted-proxy", "fd00::1"}, o, error))
        << error;
    EXPECT_EQ(o.connectionsPerAddress, 8u);
    EXPECT_EQ(o.headDeadline, 4u);
    EXPECT_EQ(o.uploadLimits.uploadsPerAddressPerHour, 0u);
    EXPECT_EQ(o.uploadLimits.uploadsPerNamePerHour, 5u);
    EXPECT_EQ(o.uploadLimits.newNamesPerAddressPerDay, 6u);
    EXPECT_EQ(o.uploadLimits.wrongPasswordsPerNamePerHour, 7u);
    EXPECT_EQ(o.uploadLimits.keys, 900u);
    EXPECT_EQ(o.listSize, 50u);
    for (const char* trusted : {"10.0.0.2", "192.0.2.77", "fd00::1"})
        EXPECT_TRUE(o.trustedProxies.contains(*IpAddress::parse(trusted))) << trusted;
    EXPECT_FALSE(o.trustedProxies.contains(*IpAddress::parse("10.0.0.3")));

    for (const char* bad : {"trusted-proxy = 10.0.0.300\n", "list-size = 60000\n", "wrong-passwords = -1\n"}) {
        ServerOptions b;
        EXPECT_FALSE(parse(bad, {"--config", "FILE"}, b, error)) << bad;
        EXPECT_NE(error.find(":1: key"), std::string::npos) << error;
    }
}

TEST_F(ConfigFileTest, EveryBadLineIsRefusedNamingItsLineAndKey) {
    const struct {
        const char* text;
        const char* says;
    } cases[] = {
        {"listen = 127.0.0.1:8080\nthreads = many\n", ":2: key \"threads\": needs a whole number from 1 to 256"},
        {"threads = 0\n", "key \"threads\""},
        {"threads =\n", "key \"threads\""},
        {"listen = localhost\n", ":1: key \"listen\": needs HOST:PORT"},
        {"db =\n", "key \"db\""},
        {"quiet = yes please\n", "key \"quiet\": takes true or false"},
        {"thread = 2\n", ":1: unknown key \"thread\""},
        {"help = true\n", "unknown key \"help\""},
        {"config = /etc/other\n", "unknown key \"config\""},
        {"# fine\nlisten 127.0.0.1:8080\n", ":2: not a \"key = value\" line"},
        {"= 3\n", "not a \"key = value\" line"},
        {"threads = 2\nthreads = 3\n", ":2: key \"threads\" was already given on line 1"},
        {"listen = 127.0.0.1:8080\ndb = live#1.sqlite\n", ":2: a '#' inside a value"},
        {"threads = # none yet\n", ":1: key \"threads\""},
    };
    for (const auto& c : cases) {
        ServerOptions o;
        std::string error;
        EXPECT_FALSE(parse(c.text, {"--config", "FILE"}, o, error)) << c.text;
        EXPECT_NE(error.find(path_), std::string::npos) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << " gave: " << error;
    }
    ServerOptions o;
    std::string error;
    EXPECT_FALSE(parse("", {"--config", "/nonexistent/server.conf"}, o, error));
    EXPECT_NE(error.find("/nonexistent/server.conf"), std::string::npos);
    EXPECT_FALSE(parse("", {"--config"}, o, error));
}
}  // namespace
