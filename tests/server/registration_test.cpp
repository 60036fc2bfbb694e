// Registration by voice code over the wire: the code in the log, the exact
// "6", wrong, expired and voided codes, and the limits on ringing phones.
#include <gtest/gtest.h>

#include "server/registration.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;

TEST(ServiceRegistration, VoiceCodeFromTheLogMakesAMemberAndTheReplyIsExactlySix) {
    TestService service;
    ClientSession client(service);
    RawReply asked = client.ask_voice_code("13900000001");
    EXPECT_EQ(200, asked.status);
    EXPECT_EQ("text/html; charset=gb2312", asked.header("Content-Type"));
    std::string code = service.last_logged("voice code for 13900000001: ");
    ASSERT_TRUE(std::regex_match(code, std::regex("[0-9]{6}"))) << code;

    RawReply confirmed = client.confirm("13900000001", code);
    EXPECT_EQ("6", confirmed.body);  // no line break, no page around it
    EXPECT_EQ("text/html; charset=gb2312", confirmed.header("Content-Type"));
    std::string id = service.query_text("SELECT id FROM members WHERE number = '13900000001'");
    EXPECT_TRUE(std::regex_match(id, std::regex("[1-9][0-9]{5}"))) << id;
    EXPECT_EQ("13800000000", service.query_text("SELECT referrer FROM members WHERE number = '13900000001'"));
    EXPECT_EQ("30", service.query_text("SELECT minutes FROM members WHERE number = '13900000001'"));

    // The code is used up: confirming again is not a second success.
    EXPECT_NE("6", client.confirm("13900000001", code).body);
}

TEST(ServiceRegistration, FiveWrongCodesVoidTheCodeSoTheSixthAttemptFailsEvenWhenRight) {
    TestService service;
    ClientSession client(service);
    client.ask_voice_code("13900000002");
    std::string code = service.last_logged("voice code for 13900000002: ");
    std::string wrong = code == "000000" ? "111111" : "000000";
    for (int i = 0; i < 4; ++i) {
        RawReply r = client.confirm("13900000002", wrong);
        EXPECT_NE("6", r.body);
        EXPECT_FALSE(r.body.empty());
    }
    client.confirm("13900000002", wrong);  // the fifth
    EXPECT_NE("6", client.confirm("13900000002", code).body);
    EXPECT_EQ("", service.query_text("SELECT id FROM members WHERE number = '13900000002'"));

    // Four wrong codes leave the right one working.
    client.ask_voice_code("13900000003");
    code = service.last_logged("voice code for 13900000003: ");
    wrong = code == "000000" ? "111111" : "000000";
    for (int i = 0; i < 4; ++i) client.confirm("13900000003", wrong);
    EXPECT_EQ("6", client.confirm("13900000003", code).body);
}

TEST(ServiceRegistration, ACodeIsGoodForTenMinutes) {
    TestService service;
    ClientSession client(service);
    client.ask_voice_code("13900000004");
    client.ask_voice_code("13900000005");
    std::string code4 = service.last_logged("voice code for 13900000004: ");
    std::string code5 = service.last_logged("voice code for 13900000005: ");
    service.now += tolvar::server::voice_code_lifetime - 1;
    EXPECT_EQ("6", client.confirm("13900000004", code4).body);
    service.now += 1;
    EXPECT_NE("6", client.confirm("13900000005", code5).body);
}

TEST(ServiceRegistration, MalformedNumbersAndCodesAreRefusedWithoutRinging) {
    TestService service;
    ClientSession client(service);
    for (const char *number : {"", "1390000000", "139000000011", "23900000001", "1390000000a"}) {
        RawReply r = client.ask_voice_code(number);
        EXPECT_EQ(200, r.status);
        EXPECT_NE("6", client.confirm(number, "123456").body);
    }
    EXPECT_EQ(0u, service.count_logged("voice code for "));
    // A body whose escape is broken: an ordinary refusal.
    EXPECT_EQ(200, client.post("/url.php?class=check", "action=taste&tel=%zz&MemberMobile=13900000006").status);
    EXPECT_EQ(0u, service.count_logged("voice code for "));
}

TEST(ServiceRegistration, PhonesAreRungAtMostThreeTimesPerNumberAndTwentyPerNetwork) {
    using namespace tolvar::server;
    const Settings &limits = default_settings();
    TestService service;
    ClientSession client(service);
    for (int i = 0; i < limits.voice_calls_per_number + 1; ++i) client.ask_voice_code("13900000010");
    EXPECT_EQ(size_t(limits.voice_calls_per_number), service.count_logged("voice code for 13900000010: "));
    service.now += voice_number_window;
    client.ask_voice_code("13900000010");
    EXPECT_EQ(size_t(limits.voice_calls_per_number + 1), service.count_logged("voice code for 13900000010: "));

    // Other numbers from addresses rotated inside one /24: the network's
    // hourly limit holds for them all.
    service.now += voice_network_window;
    for (int i = 0; i < limits.voice_calls_per_network + 1; ++i) {
        std::string source = "127.0.0." + std::to_string(2 + i);
        round_trip(service.port(),
                   client_request("POST", service.host(), "/url.php?class=check",
                                  "action=taste&tel=13800000000&MemberMobile=139000001" + std::to_string(10 + i)),
                   source);
    }
    EXPECT_EQ(size_t(limits.voice_calls_per_network), service.count_logged("voice code for 1390000011") +
                                                          service.count_logged("voice code for 1390000012") +
                                                          service.count_logged("voice code for 1390000013"));
    // Another network is not held by it.
    service.run_sql("UPDATE voice_requests SET address = '10.0.0.0/24'");
    client.ask_voice_code("13900000140");
    EXPECT_EQ(1u, service.count_logged("voice code for 13900000140: "));
}
