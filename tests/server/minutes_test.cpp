// The balance, the member page's claim token and the weekly claim: once per
// calendar week, single-use tokens, and an empty reply for every claim that
// is not valid.
#include <gtest/gtest.h>

#include <thread>

#include "server/minutes.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;

TEST(ServiceMinutes, BalanceIsTheMinutesAsDigitsOnlyOrNotLoggedIn) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    EXPECT_EQ("30", client.balance().body);
    ClientSession stranger(service);
    EXPECT_TRUE(contains(stranger.balance().body, gbk_not_logged_in));
    stranger.get("/verifycode.php");
    EXPECT_TRUE(contains(stranger.balance().body, gbk_not_logged_in));
}

TEST(ServiceMinutes, TheMemberPageHoldsOneFreshTokenBehindTheClaimMark) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    std::string page = client.get("/p.php").body;
    size_t mark = page.find("giving&hash=");
    ASSERT_NE(std::string::npos, mark) << page;
    EXPECT_EQ(std::string::npos, page.find("giving&hash=", mark + 1));
    std::string token = page.substr(mark + 12, page.find("',", mark) - mark - 12);
    EXPECT_TRUE(std::regex_match(token, std::regex("[0-9a-f]{32}"))) << token;
    EXPECT_NE(token, client.claim_token());

    ClientSession stranger(service);
    std::string refused = stranger.get("/p.php").body;
    EXPECT_TRUE(contains(refused, gbk_not_logged_in));
    EXPECT_FALSE(contains(refused, "giving&hash="));
}

TEST(ServiceMinutes, FifteenMinutesOncePerCalendarWeek) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    RawReply granted = client.claim(client.claim_token());
    EXPECT_FALSE(granted.body.empty());
    EXPECT_FALSE(contains(granted.body, gbk_already_claimed));
    EXPECT_EQ("45", client.balance().body);

    service.now += 24 * 60 * 60;  // Thursday of the same week
    client.log_in("13900000001");    // a logged-in session lasts hours, not days
    EXPECT_TRUE(contains(client.claim(client.claim_token()).body, gbk_already_claimed));
    EXPECT_EQ("45", client.balance().body);

    service.now += 6 * 24 * 60 * 60;  // Wednesday of the next week
    client.log_in("13900000001");
    EXPECT_FALSE(contains(client.claim(client.claim_token()).body, gbk_already_claimed));
    EXPECT_EQ("60", client.balance().body);
}

TEST(ServiceMinutes, ReusedMadeUpForeignExpiredOrLoggedOutTokensGetAnEmptyReply) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    ClientSession other = member(service, "13900000002");

    std::string used = client.claim_token();
    client.claim(used);
    // Reused in the same week: not the "already claimed" page, nothing at all.
    RawReply reused = client.claim(used);
    EXPECT_EQ(200, reused.status);
    EXPECT_TRUE(reused.complete);
    EXPECT_EQ("", reused.body);
    EXPECT_EQ("", client.claim("0123456789abcdef0123456789abcdef").body);
    EXPECT_EQ("", client.claim("").body);
    EXPECT_EQ("", client.claim("not-a-token',").body);

    std::string others = other.claim_token();
    EXPECT_EQ("", client.claim(others).body);
    EXPECT_FALSE(other.claim(others).body.empty());  // still the other member's to use

    std::string stale = client.claim_token();
    service.now += tolvar::server::claim_token_lifetime;
    EXPECT_EQ("", client.claim(stale).body);

    ClientSession stranger(service);
    EXPECT_EQ("", stranger.claim(client.claim_token()).body);
    EXPECT_EQ("45", client.balance().body);
}

TEST(ServiceMinutes, ATokenClaimedByManyRequestsAtOnceCountsOnce) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    std::string token = client.claim_token();
    std::vector<std::thread> threads;
    std::atomic<int> granted{0};
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&] { granted += !client.claim(token).body.empty(); });
    for (auto &t : threads) t.join();
    EXPECT_EQ(1, granted.load());
    EXPECT_EQ("45", client.balance().body);
}
