// Who may log in: only a computer that confirmed the number's voice code
// (its device cookie), never one that only knows the number; the session id
// changes at login; failed logins are limited per number and per network.
#include <gtest/gtest.h>

#include "server/devices.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;
using tolvar::server::Settings;

namespace {

// A failed login's page, as any refusal gets it.
std::string failed_login_page(TestService &service) {
    ClientSession stranger(service);
    stranger.get("/verifycode.php");
    return stranger.submit_login("13900000001", "xxxx").body;
}

bool logged_in(const RawReply &r) { return contains(r.body, "p.php"); }

}  // namespace

TEST(ServiceDeviceLogin, TheNumberAndTheCaptchaAloneOpenNothingARegistrationOnThatComputerDoes) {
    TestService service;
    ClientSession owner(service);
    ASSERT_TRUE(owner.register_number("13900000001"));
    std::string refused = failed_login_page(service);

    // Another computer, a fresh cookie store: the right number and captcha,
    // and the very page any failed login gets.
    ClientSession other(service);
    RawReply attempt = other.log_in("13900000001");
    EXPECT_EQ(refused, attempt.body);
    EXPECT_EQ(200, attempt.status);
    EXPECT_TRUE(contains(other.balance().body, gbk_not_logged_in));
    // A device cookie the service never gave is no better.
    other.cookies["device"] = "0123456789abcdef0123456789abcdef";
    EXPECT_EQ(refused, other.log_in("13900000001").body);

    // The registration confirm sets a year-long device cookie; then it logs in.
    service.now += 601;  // past the number's ten-minute window of rings
    other.cookies.erase("device");
    other.ask_voice_code("13900000001");
    RawReply confirmed = other.confirm("13900000001", service.last_logged("voice code for 13900000001: "));
    ASSERT_EQ("6", confirmed.body);
    std::string device;
    for (const std::string &set : confirmed.set_cookies())
        if (set.rfind("device=", 0) == 0) device = set;
    EXPECT_EQ("device=" + other.cookies["device"] + "; expires=" +
                  tolvar::server::http_date(service.now + 365 * 24 * 3600) + "; path=/; HttpOnly; SameSite=Lax",
              device);
    EXPECT_TRUE(std::regex_match(other.cookies["device"], std::regex("[0-9a-f]{32}")));
    EXPECT_TRUE(logged_in(other.log_in("13900000001")));
    EXPECT_EQ("30", other.balance().body);  // the same member, minutes and all
    EXPECT_EQ("1", service.query_text("SELECT COUNT(*) FROM members"));

    // The first computer stays bound; one computer serves two members.
    EXPECT_TRUE(logged_in(owner.log_in("13900000001")));
    std::string owners_device = owner.cookies["device"];
    ASSERT_TRUE(owner.register_number("13900000002"));
    EXPECT_EQ(owners_device, owner.cookies["device"]);
    EXPECT_TRUE(logged_in(owner.log_in("13900000002")));
    EXPECT_TRUE(logged_in(owner.log_in("13900000001")));
    // An expiry as cookies write it, which the client's store reads.
    EXPECT_EQ("Tue, 18 Jun 2024 12:00:00 GMT", tolvar::server::http_date(1718712000));
}

TEST(ServiceDeviceLogin, AMemberKeepsTheDevicesUsedLastUpToTheLimit) {
    TestService service;
    Settings settings;
    settings.devices_per_member = 2;
    settings.voice_calls_per_number = 100;
    service.apply(settings);
    ClientSession first(service), second(service), third(service);
    ASSERT_TRUE(first.register_number("13900000001"));
    service.now += 10;
    ASSERT_TRUE(second.register_number("13900000001"));
    service.now += 10;
    EXPECT_TRUE(logged_in(first.log_in("13900000001")));  // used again: now the newer of the two
    service.now += 10;
    ASSERT_TRUE(third.register_number("13900000001"));
    EXPECT_TRUE(logged_in(first.log_in("13900000001")));
    EXPECT_TRUE(logged_in(third.log_in("13900000001")));
    EXPECT_FALSE(logged_in(second.log_in("13900000001")));
    EXPECT_EQ("2", service.query_text("SELECT COUNT(*) FROM devices"));
}

TEST(ServiceDeviceLogin, TheSessionIdIsReplacedAtLoginAndTheOldOneOpensNothing) {
    TestService service;
    ClientSession client(service);
    ASSERT_TRUE(client.register_number("13900000001"));
    client.get("/verifycode.php");
    std::string before = client.cookies["sid"];
    std::string code = service.last_logged("captcha code: ");
    RawReply r = client.submit_login("13900000001", code);
    ASSERT_TRUE(logged_in(r));
    std::string after = client.cookies["sid"];
    EXPECT_NE(before, after);
    EXPECT_TRUE(contains(r.head, "Set-Cookie: sid=" + after + "; path=/; HttpOnly; SameSite=Lax"));
    EXPECT_EQ("30", client.balance().body);

    ClientSession fixed(service);  // whoever knew the old id
    fixed.cookies["sid"] = before;
    EXPECT_TRUE(contains(fixed.balance().body, gbk_not_logged_in));
}

TEST(ServiceDeviceLogin, SessionsLiveBoundedTimesThatUseDoesNotLengthen) {
    TestService service;
    Settings settings;
    settings.anonymous_session_minutes = 15;
    settings.member_session_hours = 12;
    service.apply(settings);
    ClientSession client(service);
    ASSERT_TRUE(client.register_number("13900000001"));

    // Before its login a session lives 15 minutes.
    client.get("/verifycode.php");
    std::string anonymous = client.cookies["sid"];
    service.now += 15 * 60;
    client.get("/verifycode.php");
    EXPECT_NE(anonymous, client.cookies["sid"]);

    // A logged-in one 12 hours from its login, however often it is used.
    ASSERT_TRUE(logged_in(client.log_in("13900000001")));
    for (int hour = 0; hour < 11; ++hour) {
        service.now += 3600;
        EXPECT_EQ("30", client.balance().body);
    }
    service.now += 3600;
    EXPECT_TRUE(contains(client.balance().body, gbk_not_logged_in));
}

TEST(ServiceDeviceLogin, FailedLoginsAreLimitedPerNetworkEvenFromRotatedAddressesAndPerNumber) {
    TestService service;
    Settings settings;
    settings.login_failures_per_network = 6;
    settings.login_failures_per_number = 4;
    service.apply(settings);
    ClientSession owner(service);
    ASSERT_TRUE(owner.register_number("13900000001"));
    std::string refused = failed_login_page(service);  // one failure from 127.0.0.1

    // Guesses from addresses of one /24, each its own cookie store: the
    // network's limit, then even the owner there is turned away, and the
    // page says nothing of a limit.
    for (int i = 0; i < 5; ++i) {
        ClientSession guesser(service);
        guesser.source = "127.0.0." + std::to_string(10 + i);
        EXPECT_EQ(refused, guesser.log_in("13900000001").body);
    }
    EXPECT_EQ("6", service.query_text("SELECT COUNT(*) FROM login_failures"));
    owner.source = "127.0.0.77";
    EXPECT_EQ(refused, owner.log_in("13900000001").body);
    EXPECT_EQ("6", service.query_text("SELECT COUNT(*) FROM login_failures"));  // a refusal for a limit is not counted
    EXPECT_EQ(1u, service.count_logged("login refused for 13900000001 from 127.0.0.0/24: too many failed logins"));

    // Strangers' failures never lock the owner out: from another network
    // the owner logs in.
    owner.source = "127.0.1.1";
    EXPECT_TRUE(logged_in(owner.log_in("13900000001")));

    // Wrong captchas from the owner's own device count against the number,
    // whatever the network: after 4 the number is closed for the hour.
    for (int i = 0; i < 4; ++i) {
        owner.source = "127.0." + std::to_string(2 + i) + ".1";
        owner.get("/verifycode.php");
        EXPECT_EQ(refused, owner.submit_login("13900000001", "xxxx").body);
    }
    owner.source = "127.0.9.1";
    EXPECT_EQ(refused, owner.log_in("13900000001").body);
    service.now += 3601;
    EXPECT_TRUE(logged_in(owner.log_in("13900000001")));
    owner.source = "127.0.0.77";
    EXPECT_TRUE(logged_in(owner.log_in("13900000001")));  // the network's hour is over too
}
