// The captcha picture and the login: the session cookie, the single-use
// code, and failure pages that never look like a success to the client.
#include <gtest/gtest.h>

#include "server/sessions.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

uint32_t big_endian(const std::string &b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 | uint32_t(uint8_t(b[at + 2])) << 8 |
           uint8_t(b[at + 3]);
}

// The client tests a login reply for "p.php", letter case significant; a
// failure page holds those letters in no case at all.
void expect_failed_login(const RawReply &r) {
    std::string lower = r.body;
    for (char &c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_FALSE(contains(lower, "p.php")) << r.body;
    EXPECT_EQ(200, r.status);
}

}  // namespace

TEST(ServiceLogin, CaptchaIsA58By28PngBoundToAnHttpOnlySessionCookie) {
    TestService service;
    ClientSession client(service);
    RawReply picture = client.get("/verifycode.php");
    EXPECT_EQ(200, picture.status);
    ASSERT_GT(picture.body.size(), 24u);
    EXPECT_EQ("\x89PNG\r\n\x1a\n", picture.body.substr(0, 8));
    EXPECT_EQ(58u, big_endian(picture.body, 16));
    EXPECT_EQ(28u, big_endian(picture.body, 20));
    std::string cookie = picture.header("Set-Cookie");
    EXPECT_TRUE(std::regex_match(cookie, std::regex("sid=[0-9a-f]{32}; path=/; HttpOnly; SameSite=Lax"))) << cookie;
    EXPECT_TRUE(std::regex_match(service.last_logged("captcha code: "), std::regex("[0-9]{4}")));

    // A session that has a cookie keeps it; a cookie the service does not know
    // is replaced.
    EXPECT_EQ("", client.get("/verifycode.php").header("Set-Cookie"));
    client.cookie = "sid=0123456789abcdef0123456789abcdef";
    EXPECT_NE("", client.get("/verifycode.php").header("Set-Cookie"));
    EXPECT_NE("sid=0123456789abcdef0123456789abcdef", client.cookie);
}

TEST(ServiceLogin, TheSessionsCaptchaCodeLogsInAndTheReplyLeadsToTheMemberPage) {
    TestService service;
    ClientSession client(service);
    ASSERT_TRUE(client.register_number("13900000001"));
    client.get("/verifycode.php");
    std::string code = service.last_logged("captcha code: ");
    RawReply r = client.submit_login("13900000001", code);
    EXPECT_TRUE(contains(r.body, "p.php")) << r.body;
    EXPECT_EQ("30", client.balance().body);

    // Another client's cookie is another session: not logged in.
    ClientSession other(service);
    other.get("/verifycode.php");
    EXPECT_TRUE(contains(other.balance().body, gbk_not_logged_in));
}

TEST(ServiceLogin, ACaptchaCodeServesOneAttemptOnly) {
    TestService service;
    ClientSession client(service);
    ASSERT_TRUE(client.register_number("13900000001"));
    client.get("/verifycode.php");
    std::string code = service.last_logged("captcha code: ");
    std::string wrong = code == "0000" ? "1111" : "0000";
    expect_failed_login(client.submit_login("13900000001", wrong));
    expect_failed_login(client.submit_login("13900000001", code));  // used up by the wrong attempt

    client.get("/verifycode.php");
    code = service.last_logged("captcha code: ");
    EXPECT_TRUE(contains(client.submit_login("13900000001", code).body, "p.php"));
    expect_failed_login(client.submit_login("13900000001", code));  // reused after a success
}

TEST(ServiceLogin, RefusedWithoutSessionUnregisteredWrongPasswordOrStaleCaptcha) {
    TestService service;
    ClientSession client(service);
    ASSERT_TRUE(client.register_number("13900000001"));
    client.get("/verifycode.php");
    std::string code = service.last_logged("captcha code: ");

    ClientSession no_cookie(service);
    expect_failed_login(no_cookie.submit_login("13900000001", code));

    expect_failed_login(client.log_in("13900000009"));  // not a member
    client.get("/verifycode.php");
    expect_failed_login(client.post("/validate.php", "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=13900000001"
                                                     "&MemberPassword=13900000002&ValidCode=" +
                                                         service.last_logged("captcha code: ") +
                                                         "&Image2.x=73&Image2.y=14"));
    client.get("/verifycode.php");
    code = service.last_logged("captcha code: ");
    service.now += tolvar::server::captcha_lifetime;
    expect_failed_login(client.submit_login("13900000001", code));
    EXPECT_TRUE(contains(client.balance().body, gbk_not_logged_in));
}
