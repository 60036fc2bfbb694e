// Limits that rotating addresses does not escape: the voice gateway's cap on
// all rings in an hour, and each member's daily quota of messages.
#include <gtest/gtest.h>

#include "server/messages.h"
#include "server/registration.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;
using tolvar::server::Settings;

TEST(ServiceLimits, TheVoiceGatewayRingsAtMostItsHourlyCapWhateverNetworksAsk) {
    TestService service;
    Settings settings;
    settings.voice_calls_per_hour = 5;
    service.apply(settings);
    // Eight numbers from eight networks: each is far inside its own limits.
    for (int i = 0; i < 8; ++i) {
        ClientSession client(service);
        client.source = "127.0." + std::to_string(1 + i) + ".1";
        RawReply r = client.ask_voice_code("1390000010" + std::to_string(i));
        EXPECT_EQ(200, r.status);
    }
    EXPECT_EQ(5u, service.count_logged("voice code for 1390000010"));
    EXPECT_EQ(3u, service.count_logged("voice code refused for 1390000010"));

    service.now += tolvar::server::voice_all_window;
    ClientSession later(service);
    later.source = "127.0.20.1";
    later.ask_voice_code("13900000200");
    EXPECT_EQ(1u, service.count_logged("voice code for 13900000200: "));
}

TEST(ServiceLimits, AMemberSendsAtMostTheDailyQuotaOfMessages) {
    TestService service;
    Settings settings;
    settings.messages_per_day = 3;
    service.apply(settings);
    ClientSession sender = member(service, "13900000001");
    ClientSession receiver = member(service, "13900000002", "13900000001");
    ClientSession other = member(service, "13900000003", "13900000002");
    std::string receiver_id = service.query_text("SELECT id FROM members WHERE number = '13900000002'");
    std::string other_id = service.query_text("SELECT id FROM members WHERE number = '13900000003'");

    for (int i = 0; i < 3; ++i) EXPECT_TRUE(contains(sender.message(receiver_id, "13900000002", "hi").body, gbk_success));
    RawReply refused = sender.message(receiver_id, "13900000002", "one too many");
    EXPECT_EQ(200, refused.status);
    EXPECT_FALSE(contains(refused.body, gbk_success));
    EXPECT_EQ("3", service.query_text("SELECT COUNT(*) FROM messages"));
    EXPECT_EQ(1u, service.count_logged("message refused for member 100000: daily quota reached"));
    // The quota is the member's own: another member still sends.
    EXPECT_TRUE(contains(receiver.message(other_id, "13900000003", "hi").body, gbk_success));

    // A day after them, the member has the whole quota again.
    service.now += tolvar::server::message_quota_window;
    ASSERT_TRUE(contains(sender.log_in("13900000001").body, "p.php"));  // the session of a day ago ended
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(contains(sender.message(receiver_id, "13900000002", "next day").body, gbk_success));
    EXPECT_FALSE(contains(sender.message(receiver_id, "13900000002", "too many").body, gbk_success));
}
