#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "http/ClientAddress.h"
#include "http/ConnectionTable.h"
#include "http/RateLimiter.h"

namespace {
TEST(RateLimiter, AnAllowanceIsSpentAtOnceThenComesBackOneEventAtATime) {
    RateLimiter three(3, 3000, 100);  // 3 per 3 s: one back every second
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(three.take("a", 0)) << i;
    EXPECT_FALSE(three.take("a", 0));
    EXPECT_TRUE(three.exhausted("a", 999));
    EXPECT_EQ(three.waitMs("a", 400), 600);
    EXPECT_FALSE(three.exhausted("b", 0)) << "each key has its own allowance";
    EXPECT_TRUE(three.take("a", 1000));
    EXPECT_FALSE(three.take("a", 1000)) << "one came back, one was spent";
    EXPECT_TRUE(three.exhausted("a", 1000)) << "asking counts nothing";
    EXPECT_TRUE(three.exhausted("a", 1999));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(three.take("a", 5000)) << "all back after the window";

    // add counts even past the allowance, without running up a debt beyond one window.
    RateLimiter guesses(2, 2000, 100);
    for (int i = 0; i < 10; ++i) guesses.add("n", 0);
    EXPECT_TRUE(guesses.exhausted("n", 999));
    EXPECT_FALSE(guesses.exhausted("n", 1000));

    RateLimiter none(0, 1000, 1);
    for (int i = 0; i < 1000; ++i) ASSERT_TRUE(none.take(std::to_string(i), 0));
    EXPECT_EQ(none.keys(), 0u) << "no limit holds no state";
}

TEST(RateLimiter, AFloodOfFreshKeysNeitherGrowsTheTableNorFreesAnExhaustedKey) {
    RateLimiter limiter(3, 3'600'000, 50);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(limiter.take("victim", 0));
    // An attacker cycling through addresses (or names), each used once.
    for (int i = 0; i < 10000; ++i) limiter.take("flood-" + std::to_string(i), i);
    EXPECT_LE(limiter.keys(), 50u);
    EXPECT_FALSE(limiter.take("victim", 10000)) << "the exhausted key was kept";
    // Keys whose allowance is whole again are forgotten.
    limiter.take("late", 4 * 3'600'000);
    EXPECT_EQ(limiter.keys(), 1u);
}

TEST(ClientAddress, TheClientIsThePeerUnlessATrustedProxyNamesIt) {
    TrustedProxies proxies;
    ASSERT_TRUE(proxies.add("10.0.0.0/8, 192.0.2.1"));
    ASSERT_TRUE(proxies.add("fd00::/8"));
    const struct {
        const char* peer;
        std::vector<std::string> forwardedFor;
        const char* client;
    } cases[] = {
        {"203.0.113.9", {"1.2.3.4"}, "203.0.113.9"},            // a forged header from an untrusted peer
        {"192.0.2.1", {}, "192.0.2.1"},                         // a proxy that names nobody
        {"192.0.2.1", {"1.2.3.4"}, "1.2.3.4"},
        {"192.0.2.1", {"6.6.6.6, 1.2.3.4"}, "1.2.3.4"},         // what the client wrote stands left
        {"192.0.2.1", {"6.6.6.6", "1.2.3.4"}, "1.2.3.4"},       // several headers read as one list
        {"10.1.1.1", {"1.2.3.4, 10.9.9.9"}, "1.2.3.4"},         // through two proxies
        {"10.1.1.1", {"10.2.2.2 ,10.3.3.3"}, "10.2.2.2"},       // only proxies: the farthest
        {"10.1.1.1", {"1.2.3.4, junk"}, "10.1.1.1"},            // a hop that is no address
        {"10.1.1.1", {"1.2.3.4, , "}, "1.2.3.4"},
        {"10.1.1.1", {"1.2.3.4:5678"}, "1.2.3.4"},
        {"10.1.1.1", {"[2001:db8::7]:443"}, "2001:db8::7"},
        {"10.1.1.1", {"::ffff:1.2.3.4"}, "1.2.3.4"},
        {"::ffff:10.1.1.1", {"1.2.3.4"}, "1.2.3.4"},            // an IPv4 proxy seen on an IPv6 socket
        {"fd12::1", {"2001:db8::9"}, "2001:db8::9"},
        {"fe80::1", {"1.2.3.4"}, "fe80::1"},
    };
    for (const auto& c : cases) {
        const std::optional<IpAddress> peer = IpAddress::parse(c.peer);
        ASSERT_TRUE(peer) << c.peer;
        EXPECT_EQ(proxies.client(*peer, c.forwardedFor).text(), c.client) << c.peer;
    }
    EXPECT_TRUE(TrustedProxies().client(*IpAddress::parse("10.1.1.1"), {"1.2.3.4"}).text() == "10.1.1.1")
        << "no proxy is trusted unless listed";
}

TEST(ClientAddress, ProxyListsAndLimitKeys) {
    for (const char* bad : {"", "x", "10.0.0.0/33", "10.0.0.0/", "10.0.0.1:80", "10.0.0.1,,", "::/129", "[::1]"}) {
        TrustedProxies p;
        EXPECT_FALSE(p.add(bad)) << bad;
        EXPECT_TRUE(p.empty()) << bad;
    }
    EXPECT_EQ(IpAddress::parse("2001:db8:1:2:3:4:5:6")->limitKey(), "2001:db8:1:2::/64")
        << "one IPv6 host commonly holds a whole /64";
    EXPECT_EQ(IpAddress::parse("2001:db8:1:2:ffff::1")->limitKey(), "2001:db8:1:2::/64");
    EXPECT_EQ(IpAddress::parse("::ffff:192.0.2.1")->limitKey(), "192.0.2.1");
    EXPECT_FALSE(IpAddress::parse("1.2.3"));
    // Each octet's digits, written out by hand: no zero dropped or doubled.
    for (const char* a : {"0.0.0.0", "9.10.99.100", "101.199.200.255", "255.255.255.255"})
        EXPECT_EQ(IpAddress::parse(a)->text(), a);
}

class Connections : public ::testing::Test {
protected:
    using Clock = ConnectionTable::Clock;
    static ConnectionTable::Id id(int n) { return reinterpret_cast<ConnectionTable::Id>(static_cast<std::uintptr_t>(n)); }
    std::vector<int> open(int n, const std::string& address, int atMs = 0) {
        return fds(table.opened(id(n), n, address, at(atMs)));
    }
    static std::vector<int> fds(const std::vector<ConnectionTable::Cut>& cuts) {
        std::vector<int> out;
        for (const auto& c : cuts) out.push_back(c.fd);
        return out;
    }
    static Clock::time_point at(int ms) { return Clock::time_point() + std::chrono::milliseconds(ms); }
    ConnectionTable table{{2, 4, std::chrono::milliseconds(1000), std::chrono::milliseconds(3000)}};
    using V = std::vector<int>;
};

TEST_F(Connections, ANewConnectionDisplacesItsAddresssOldestIdleOneOrIsRefused) {
    EXPECT_EQ(open(1, "x", 0), V{});
    EXPECT_EQ(open(2, "x", 10), V{});
    EXPECT_EQ(open(3, "x", 20), V{1}) << "the oldest one waiting for its head goes";
    EXPECT_EQ(open(4, "y", 30), V{}) << "another address is not concerned";
    EXPECT_EQ(table.countOf("x"), 2u);
    table.requestBegun(id(2), at(0));
    table.requestBegun(id(3), at(0));
    EXPECT_EQ(open(5, "x", 40), V{5}) << "a request under way is never displaced";
    table.closed(id(1));
    table.closed(id(5));
    table.requestEnded(id(2), at(50));
    EXPECT_EQ(open(6, "x", 60), V{2}) << "answered and idle again: displaceable";
    table.closed(id(2));
    table.closed(id(3));
    table.closed(id(4));
    table.closed(id(6));
    EXPECT_EQ(table.open(), 0u);
    EXPECT_EQ(table.countOf("x"), 0u) << "nothing kept for a closed connection";
}

TEST_F(Connections, AFullServerDisplacesTheOldestConnectionNotWaitingForACheck) {
    open(1, "a", 0);
    open(2, "b", 5);
    open(3, "c", 10);
    open(4, "", 15);  // a trusted proxy: counted in all, not against an address
    table.requestBegun(id(2), at(5));
    EXPECT_EQ(open(5, "d", 20), V{1});
    table.requestBegun(id(3), at(12));
    table.requestBegun(id(4), at(16));
    table.setBusy(id(2), true);
    EXPECT_EQ(open(6, "e", 30), V{3}) << "a request under way goes as a head does; not one waiting for its check";
    EXPECT_EQ(open(7, "f", 31), V{4}) << "nor a newcomer that has had no time for its head";
    EXPECT_EQ(open(8, "g", 32), V{5});
    for (int n : {6, 7, 8}) {
        table.requestBegun(id(n), at(40));
        table.setBusy(id(n), true);
    }
    EXPECT_EQ(open(9, "h", 50), V{9}) << "every one waiting for its check: the newcomer goes";
    EXPECT_EQ(table.countOf("b"), 1u);
    EXPECT_EQ(table.countOf("c"), 0u);
}

TEST_F(Connections, ARequestBodyKeepsTheLeastRateOrIsCut) {
    // 100 bytes a second after a grace of one second: n bytes buy n * 10 ms more.
    ConnectionTable rated{{8, 8, std::chrono::seconds(10), std::chrono::seconds(60), 100, std::chrono::seconds(1)}};
    for (int n = 1; n <= 5; ++n) {
        rated.opened(id(n), n, "a", at(0));
        rated.requestBegun(id(n), at(100));
    }
    for (int n : {1, 2, 4, 5}) rated.bodyReceived(id(n), 0);
    rated.bodyReceived(id(2), 30);
    rated.bodyReceived(id(2), 20);
    rated.setBusy(id(4), true);  // whole, and waiting for its check
    rated.requestEnded(id(5), at(200));  // answered: its next request has no body yet
    rated.requestBegun(id(5), at(300));
    EXPECT_EQ(fds(rated.overdue(at(1100))), V{});
    const std::vector<ConnectionTable::Cut> slow = rated.overdue(at(1101));
    ASSERT_EQ(fds(slow), V{1});
    EXPECT_STREQ(slow[0].why, ConnectionTable::kSlowBody);
    EXPECT_EQ(fds(rated.overdue(at(1600))), V{}) << "50 bytes bought half a second";
    EXPECT_EQ(fds(rated.overdue(at(1601))), V{2});
    EXPECT_EQ(fds(rated.overdue(at(9000))), V{}) << "no body, or one being checked, is not timed by its rate";
}

TEST_F(Connections, DeadlinesForTheHeadAndTheWholeRequestButNotForAnUploadBeingDecided) {
    open(1, "a", 0);
    open(2, "b", 0);
    open(3, "c", 0);
    table.requestBegun(id(2), at(0));
    table.requestBegun(id(3), at(0));
    table.setBusy(id(3), true);
    EXPECT_EQ(fds(table.overdue(at(999))), V{});
    const std::vector<ConnectionTable::Cut> head = table.overdue(at(1000));
    ASSERT_EQ(fds(head), V{1});
    EXPECT_STREQ(head[0].why, ConnectionTable::kNoHead);
    EXPECT_EQ(fds(table.overdue(at(2000))), V{}) << "cut once";
    EXPECT_EQ(fds(table.overdue(at(3000))), V{2});
    table.requestEnded(id(3), at(10000));
    EXPECT_EQ(fds(table.overdue(at(10999))), V{}) << "the next head's time starts with the answer";
    EXPECT_EQ(fds(table.overdue(at(11000))), V{3});
}

TEST_F(Connections, ForwardedClientsAreCountedPerRequestBehindAProxy) {
    open(1, "", 0);
    open(2, "", 0);
    open(3, "", 0);
    EXPECT_TRUE(table.requestBegun(id(1), at(0), "z"));
    EXPECT_TRUE(table.requestBegun(id(2), at(0), "z"));
    EXPECT_FALSE(table.requestBegun(id(3), at(0), "z")) << "z has its two under way";
    table.requestEnded(id(3), at(1));
    EXPECT_TRUE(table.requestBegun(id(3), at(0), "w"));
    table.requestEnded(id(1), at(2));
    table.requestEnded(id(3), at(2));
    EXPECT_TRUE(table.requestBegun(id(3), at(0), "z"));
    table.requestEnded(id(2), at(3));
    EXPECT_EQ(open(4, "z", 3), V{}) << "direct connections of z count with its forwarded requests";
    EXPECT_EQ(open(5, "z", 4), V{4});
}
}  // namespace
