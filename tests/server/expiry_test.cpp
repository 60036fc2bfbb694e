// What expires goes without a request asking: the background sweep removes
// expired sessions, claim tokens, voice codes and old rings and failed
// logins; a flood of captcha requests without a cookie cannot grow the
// database or its journal without bound.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "server/sweep.h"
#include "tests/server/service_harness.h"

using namespace tolvar::test;
using tolvar::server::Settings;

namespace {

struct RowCounts {
    std::string sessions, claim_tokens, voice_codes, voice_requests, login_failures;
    bool operator==(const RowCounts &) const = default;
};

RowCounts row_counts(TestService &service) {
    return {service.query_text("SELECT COUNT(*) FROM sessions"), service.query_text("SELECT COUNT(*) FROM claim_tokens"),
            service.query_text("SELECT COUNT(*) FROM voice_codes"),
            service.query_text("SELECT COUNT(*) FROM voice_requests"),
            service.query_text("SELECT COUNT(*) FROM login_failures")};
}

std::ostream &operator<<(std::ostream &out, const RowCounts &c) {
    return out << c.sessions << " sessions, " << c.claim_tokens << " claim tokens, " << c.voice_codes
               << " voice codes, " << c.voice_requests << " rings, " << c.login_failures << " failed logins";
}

// Rows of every kind that expires: a logged-in member's session and claim
// token, a stranger's captcha session and failed login, a voice code never
// confirmed and its ring.
void leave_rows_behind(TestService &service) {
    ClientSession owner = member(service, "13900000001");
    EXPECT_NE("", owner.claim_token());
    ClientSession stranger(service);
    stranger.log_in("13900000001");  // no device: a failed login
    stranger.ask_voice_code("13900000002");
}

}  // namespace

TEST(ServiceExpiry, TheSweepRemovesWhatExpiredAndKeepsWhatLives) {
    TestService service;
    leave_rows_behind(service);
    RowCounts before = row_counts(service);
    EXPECT_EQ((RowCounts{"2", "1", "1", "2", "1"}), before);

    // Nothing has expired yet: nothing goes.
    EXPECT_EQ(0, tolvar::server::sweep_expired(service.storage(), service.now));
    EXPECT_EQ(before, row_counts(service));

    // Half an hour on: the sessions without a member, the claim token and
    // the voice code are gone; the member's session, the rings and the
    // failed login (still counted by their limits) stay.
    service.now += 30 * 60;
    EXPECT_GT(tolvar::server::sweep_expired(service.storage(), service.now), 0);
    EXPECT_EQ((RowCounts{"1", "0", "0", "2", "1"}), row_counts(service));

    // A day on: nothing of it is left.
    service.now += 24 * 60 * 60;
    tolvar::server::sweep_expired(service.storage(), service.now);
    EXPECT_EQ((RowCounts{"0", "0", "0", "0", "0"}), row_counts(service));
    // The registered member stays, and so does the device bound to it.
    EXPECT_EQ("1", service.query_text("SELECT COUNT(*) FROM members"));
    EXPECT_EQ("1", service.query_text("SELECT COUNT(*) FROM devices"));
}

TEST(ServiceExpiry, TheServiceSweepsByItselfWithoutARequest) {
    TestService service;
    Settings settings;
    settings.sweep_interval = 1;
    service.apply(settings);
    leave_rows_behind(service);
    service.now += 2 * 24 * 60 * 60;
    // No request from here on: the service's own sweep must remove them.
    auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (row_counts(service) != RowCounts{"0", "0", "0", "0", "0"} && std::chrono::steady_clock::now() < give_up)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ((RowCounts{"0", "0", "0", "0", "0"}), row_counts(service));
}

TEST(ServiceExpiry, ACaptchaFloodWithoutACookieMakesAtMostTheNetworksSessions) {
    TestService service;
    Settings settings;
    settings.sessions_per_network = 40;
    service.apply(settings);
    // Requests from rotating addresses of one /24, none sending a cookie.
    size_t pictures = 0, cookies = 0;
    for (int i = 0; i < 120; ++i) {
        RawReply r = round_trip(service.port(), client_request("GET", service.host(), "/verifycode.php", "", ""),
                                "127.0.0." + std::to_string(2 + i % 200));
        EXPECT_EQ(200, r.status);
        pictures += r.header("Content-Type") == "image/png";
        cookies += !r.header("Set-Cookie").empty();
    }
    EXPECT_EQ(40u, pictures);
    EXPECT_EQ(40u, cookies);
    EXPECT_EQ("40", service.query_text("SELECT COUNT(*) FROM sessions"));

    // Another network still gets its captcha; a session of the flooded one
    // that has its cookie keeps getting new pictures.
    ClientSession elsewhere(service);
    elsewhere.source = "127.0.1.1";
    EXPECT_EQ("image/png", elsewhere.get("/verifycode.php").header("Content-Type"));
    EXPECT_EQ("image/png", elsewhere.get("/verifycode.php").header("Content-Type"));
    EXPECT_EQ("41", service.query_text("SELECT COUNT(*) FROM sessions"));

    // Once those sessions expired, the network gets new ones.
    service.now += settings.anonymous_session_minutes * 60;
    ClientSession later(service);
    later.source = "127.0.0.9";
    EXPECT_EQ("image/png", later.get("/verifycode.php").header("Content-Type"));
}

TEST(ServiceExpiry, TheSweepGivesTheJournalBack) {
    TestService service;
    if (service.database().postgresql()) GTEST_SKIP() << "PostgreSQL keeps its own write-ahead log";
    Settings settings;
    settings.sessions_per_network = 100000;
    service.apply(settings);
    for (int i = 0; i < 600; ++i) ClientSession(service).get("/verifycode.php");
    std::filesystem::path journal = service.database().address() + "-wal";
    ASSERT_TRUE(std::filesystem::exists(journal));
    EXPECT_GT(std::filesystem::file_size(journal), 1024u * 1024u);  // the writes left a large journal
    service.now += 24 * 60 * 60;
    tolvar::server::sweep_expired(service.storage(), service.now);
    EXPECT_LT(std::filesystem::file_size(journal), 64u * 1024u);
    EXPECT_EQ("0", service.query_text("SELECT COUNT(*) FROM sessions"));
}
