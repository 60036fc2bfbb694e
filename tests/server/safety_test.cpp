// What the HTTP side refuses, and that refusals are ordinary short pages the
// client judges as failures.
#include <gtest/gtest.h>

#include "server/pages.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;

namespace {

// A page passes none of the client's success tests.
void expect_judged_a_failure(const std::string &body) {
    EXPECT_NE("6", body);
    EXPECT_LT(body.size(), 101u);
    EXPECT_FALSE(contains(body, "p.php"));
    EXPECT_FALSE(contains(body, gbk_success));
}

}  // namespace

TEST(ServiceSafety, EveryFailurePageFailsEveryTestTheClientMakes) {
    using namespace tolvar::server::pages;
    for (const std::string *page :
         {&voice_code_sent(), &voice_code_refused(), &voice_code_limited(), &registration_failed(), &login_failed(),
          &not_logged_in(), &call_no_minutes(), &call_refused(), &claim_already(),
          &message_refused(), &request_refused()})
        expect_judged_a_failure(*page);
    EXPECT_GT(call_placed().size(), 100u);
    EXPECT_LT(call_placed().size(), 160u);
    EXPECT_FALSE(contains(claim_granted(), gbk_already_claimed));
    EXPECT_TRUE(contains(message_sent(), gbk_success));
    EXPECT_TRUE(contains(login_succeeded(), "p.php"));
}

TEST(ServiceSafety, BodiesOverSixtyFourKilobytesOrWithoutALengthAreRefusedAndTheServiceGoesOn) {
    TestService service;
    std::string host = service.host();
    std::string big = "action=balance&url=x&ip=" + std::string(64 * 1024, '1');
    RawReply too_big = round_trip(service.port(), client_request("POST", host, "/url.php", big));
    EXPECT_EQ(413, too_big.status);
    expect_judged_a_failure(too_big.body);

    // Only the head of a huge body is sent: the refusal does not wait for the rest.
    RawReply huge = round_trip(service.port(), "POST /url.php HTTP/1.1\r\nHost: " + host +
                                                  "\r\nContent-Length: 1000000000000\r\n\r\naction=balance");
    EXPECT_EQ(413, huge.status);

    std::string no_length = "POST /url.php HTTP/1.1\r\nHost: " + host + "\r\n\r\naction=balance";
    EXPECT_EQ(411, round_trip(service.port(), no_length).status);
    std::string chunked = "POST /url.php HTTP/1.1\r\nHost: " + host +
                          "\r\nTransfer-Encoding: chunked\r\n\r\n5\r\naction\r\n0\r\n\r\n";
    EXPECT_EQ(411, round_trip(service.port(), chunked).status);
    EXPECT_EQ(400, round_trip(service.port(), "POST /url.php HTTP/1.1\r\nHost: " + host +
                                                "\r\nContent-Length: -5\r\n\r\n")
                       .status);

    RawReply exact = round_trip(service.port(), client_request("POST", host, "/url.php",
                                                             big.substr(0, 64 * 1024)));
    EXPECT_EQ(200, exact.status);  // at the limit: read, and refused as not logged in
    EXPECT_TRUE(contains(exact.body, gbk_not_logged_in));
}

TEST(ServiceSafety, GarbageUnknownPagesAndMalformedFieldsGetShortGbkPages) {
    TestService service;
    std::string host = service.host();
    RawReply garbage = round_trip(service.port(), "\x01\x02 nonsense\r\n\r\n");
    EXPECT_EQ(400, garbage.status);
    RawReply unknown = round_trip(service.port(), client_request("GET", host, "/admin.php"));
    EXPECT_EQ(404, unknown.status);
    EXPECT_EQ("text/html; charset=gb2312", unknown.header("Content-Type"));
    expect_judged_a_failure(unknown.body);
    EXPECT_EQ(200, round_trip(service.port(), client_request("POST", host, "/url.php", "action=nothing")).status);
    RawReply bad_escape = round_trip(service.port(), client_request("POST", host, "/validate.php", "MemberCode=%G1"));
    EXPECT_EQ(200, bad_escape.status);
    expect_judged_a_failure(bad_escape.body);
    EXPECT_EQ("", round_trip(service.port(), client_request("GET", host, "/p.php?class=giving&hash=%")).body);
    RawReply long_address =
        round_trip(service.port(), client_request("GET", host, "/p.php?class=giving&hash=" + std::string(9000, 'a')));
    EXPECT_GE(long_address.status, 400);
    EXPECT_EQ("", long_address.body);

    // A connection that sends half a request and stalls holds up nobody else.
    int stalled = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(service.port()));
    ASSERT_EQ(0, connect(stalled, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    ASSERT_GT(send(stalled, "GET /ip.php HTTP/1.1\r\nHost: x\r\n", 30, MSG_NOSIGNAL), 0);
    RawReply echo = round_trip(service.port(), client_request("GET", host, "/ip.php"));
    EXPECT_TRUE(contains(echo.body, "<h2>127.0.0.1</h2>"));
    close(stalled);
}
