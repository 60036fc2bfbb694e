// Free calls, judged by the client on the reply's length alone, and the
// address-echo page.
#include <gtest/gtest.h>

#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

bool client_sees_call_placed(const RawReply &r) { return r.body.size() > 100 && r.body.size() < 160; }

}  // namespace

TEST(ServiceCalls, APlacedCallIsRecordedChargedLoggedAndAnsweredWithAReplyOfTheRightLength) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    RawReply r = client.call("13700000000", "10.1.2.3");
    EXPECT_TRUE(client_sees_call_placed(r)) << r.body.size();
    EXPECT_EQ("13700000000|10.1.2.3|" + std::to_string(test_start_time),
              service.query_text("SELECT c.number || '|' || c.address || '|' || c.placed_at FROM calls c"
                                 " JOIN members m ON m.id = c.member_id WHERE m.number = '13900000001'"));
    EXPECT_EQ("13900000001 -> 13700000000", service.last_logged("call: "));
    EXPECT_EQ("29", client.balance().body);
}

TEST(ServiceCalls, NoLoginNoMinutesOrAMalformedNumberGetAShortReplyAndNoRecord) {
    TestService service;
    ClientSession stranger(service);
    stranger.get("/verifycode.php");
    EXPECT_FALSE(client_sees_call_placed(stranger.call("13700000000")));

    ClientSession client = member(service, "13900000001");
    for (const char *number : {"", "12", "1370000000x", "137000000001370000000"})
        EXPECT_FALSE(client_sees_call_placed(client.call(number))) << number;
    EXPECT_FALSE(client_sees_call_placed(client.call("13700000000", "an address with blanks")));

    service.run_sql("UPDATE members SET minutes = 1");
    EXPECT_TRUE(client_sees_call_placed(client.call("13700000000")));
    RawReply none_left = client.call("13700000000");
    EXPECT_FALSE(client_sees_call_placed(none_left));
    EXPECT_LT(none_left.body.size(), 101u);
    EXPECT_EQ("1", service.query_text("SELECT COUNT(*) FROM calls"));
    EXPECT_EQ("0", client.balance().body);
}

TEST(ServiceCalls, TheEchoPageHoldsTheCallersAddressBetweenH2Marks) {
    TestService service;
    ClientSession client(service);
    std::string page = client.get("/ip.php").body;
    size_t start = page.find("<h2>");
    ASSERT_NE(std::string::npos, start);
    EXPECT_EQ("127.0.0.1", page.substr(start + 4, page.find("</h2>", start) - start - 4));
}

TEST(ServiceCalls, CallsGoOnlyToTheNumberShapesTheOperatorAllows) {
    TestService service;
    ClientSession client = member(service, "13900000001");
    // By default: mainland mobile numbers and domestic numbers from 0.
    for (const char *number : {"13700000000", "0755123", "01012345678", "075512345678"})
        EXPECT_TRUE(client_sees_call_placed(client.call(number))) << number;
    for (const char *number : {"00861370000000", "+8613700000000", "110", "075512", "0755123456789", "23700000000",
                               "1370000000", "0012345678"})
        EXPECT_FALSE(client_sees_call_placed(client.call(number))) << number;
    EXPECT_EQ("4", service.query_text("SELECT COUNT(*) FROM calls"));

    tolvar::server::Settings settings;
    settings.call_shapes = tolvar::server::call_shape_mobile;
    service.apply(settings);
    EXPECT_FALSE(client_sees_call_placed(client.call("01012345678")));
    settings.call_shapes = tolvar::server::call_shape_any;
    service.apply(settings);
    EXPECT_TRUE(client_sees_call_placed(client.call("00861370000000")));
    EXPECT_FALSE(client_sees_call_placed(client.call("+8613700000000")));
}
