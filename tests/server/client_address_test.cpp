// Who a request is from: the peer, or behind a trusted proxy the address the
// proxy appended; and the network that per-address limits count.
#include <gtest/gtest.h>

#include "server/client_address.h"
#include "tests/server/service_harness.h"

using namespace tolvar::server;
using tolvar::test::TestService;

TEST(ClientAddress, NetworksAreIpv4SlashTwentyFourAndIpv6SlashSixtyFour) {
    EXPECT_EQ("203.0.113.0/24", client_network("203.0.113.77"));
    EXPECT_EQ("203.0.113.0/24", client_network("::ffff:203.0.113.5"));  // mapped counts as IPv4
    EXPECT_EQ("2001:db8:1:2::/64", client_network("2001:db8:1:2:aaaa:bbbb:cccc:dddd"));
    EXPECT_EQ("2001:db8:1:2::/64", client_network("2001:0db8:0001:0002::1"));
    EXPECT_NE(client_network("2001:db8:1:2::1"), client_network("2001:db8:1:3::1"));
    EXPECT_EQ("not an address", client_network("not an address"));
    EXPECT_EQ("10.0.0.1", canonical_address("::ffff:10.0.0.1"));
    EXPECT_EQ("", canonical_address("10.0.0.256"));
    EXPECT_TRUE(is_ip_address("::1"));
    EXPECT_FALSE(is_ip_address("localhost"));
}

TEST(ClientAddress, ForwardedForIsBelievedOnlyFromATrustedProxyAndOnlyItsRightMostEntry) {
    const std::vector<std::string> trusted = {"10.0.0.5", "::ffff:10.0.0.6"};
    const std::vector<std::string> forwarded = {"1.1.1.1", "6.6.6.6, 7.7.7.7 , 198.51.100.9"};
    EXPECT_EQ("198.51.100.9", client_address("10.0.0.5", forwarded, trusted));
    EXPECT_EQ("198.51.100.9", client_address("::ffff:10.0.0.6", forwarded, trusted));
    EXPECT_EQ("10.0.0.7", client_address("10.0.0.7", forwarded, trusted));  // not a proxy: its own address
    EXPECT_EQ("10.0.0.5", client_address("10.0.0.5", {}, trusted));
    EXPECT_EQ("10.0.0.5", client_address("10.0.0.5", {"1.1.1.1, garbage"}, trusted));
    EXPECT_EQ("10.0.0.7", client_address("::ffff:10.0.0.7", {}, {}));
}

TEST(ClientAddress, TheServiceShowsAndCountsTheForwardedAddressOnlyBehindItsTrustedProxy) {
    TestService service;
    std::string forwarded = "GET /ip.php HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: 6.6.6.6, 203.0.113.7\r\n\r\n";
    EXPECT_TRUE(tolvar::test::contains(tolvar::test::round_trip(service.port(), forwarded).body, "<h2>127.0.0.1</h2>"));
    Settings settings;
    settings.trusted_proxies = {"127.0.0.1"};
    service.apply(settings);
    EXPECT_TRUE(
        tolvar::test::contains(tolvar::test::round_trip(service.port(), forwarded).body, "<h2>203.0.113.7</h2>"));
    // Another peer of the same machine is not the proxy.
    EXPECT_TRUE(tolvar::test::contains(tolvar::test::round_trip(service.port(), forwarded, "127.0.0.2").body,
                                       "<h2>127.0.0.2</h2>"));

    // Voice codes asked through the proxy from addresses of one /24 share its limit.
    settings.voice_calls_per_network = 3;
    service.apply(settings);
    for (int i = 0; i < 5; ++i) {
        std::string body = "action=taste&tel=13800000000&MemberMobile=1390000010" + std::to_string(i);
        tolvar::test::round_trip(service.port(), "POST /url.php?class=check HTTP/1.1\r\nHost: x\r\nX-Forwarded-For: "
                                                 "203.0.113." + std::to_string(10 + i) +
                                                     "\r\nContent-Length: " + std::to_string(body.size()) +
                                                     "\r\n\r\n" + body);
    }
    EXPECT_EQ(3u, service.count_logged("voice code for 139000001"));
    EXPECT_EQ("3", service.query_text("SELECT COUNT(*) FROM voice_requests WHERE address = '203.0.113.0/24'"));
}
