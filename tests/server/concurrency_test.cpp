// Two tolvar-service processes on one database (one SQLite file, or one
// PostgreSQL database) and many requests at once, spread over both: every
// single-use thing is used once, every limit counts exactly, every new member
// gets an id of their own.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "tests/server/service_harness.h"
#include "tests/system/running_service.h"

using namespace tolvar::test;

namespace {

// Each race is run in a few rounds: a lost race shows in most rounds, not in all.
constexpr int rounds = 3;

class TwoInstances : public ::testing::Test {
protected:
    TestDatabase database;
    RunningService a{database.address()}, b{database.address()};

    RunningService &instance(int i) { return i % 2 ? b : a; }

    RawReply post(RunningService &s, const std::string &path, const std::string &body, const std::string &cookie = "") {
        return round_trip(s.port(), client_request("POST", s.host(), path, body, cookie));
    }
    RawReply get(RunningService &s, const std::string &path, const std::string &cookie = "") {
        return round_trip(s.port(), client_request("GET", s.host(), path, "", cookie));
    }
    RawReply ask_voice_code(RunningService &s, const std::string &number) {
        return post(s, "/url.php?class=check", "action=taste&tel=13800000000&MemberMobile=" + number);
    }
    RawReply confirm(RunningService &s, const std::string &number, const std::string &code) {
        return post(s, "/url.php",
                    "class=check&action=one&tel=13800000000&MemberMobile=" + number + "&VerifyCode=" + code);
    }
    RawReply submit_login(RunningService &s, const std::string &number, const std::string &code,
                          const std::string &cookie) {
        return post(s, "/validate.php",
                    "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + number + "&MemberPassword=" + number +
                        "&ValidCode=" + code + "&Image2.x=73&Image2.y=14",
                    cookie);
    }
    // A fresh session with a captcha shown by `s`: its cookie and the code.
    std::pair<std::string, std::string> captcha(RunningService &s) {
        RawReply picture = get(s, "/verifycode.php");
        std::string set = picture.header("Set-Cookie");
        return {set.substr(0, set.find(';')), s.wait_for_line("captcha code: ([0-9]{4})")};
    }
    size_t rings(const std::string &number) {
        std::regex line("voice code for " + number + ": ");
        size_t n = 0;
        for (RunningService *s : {&a, &b}) {
            std::string log = s->log();
            n += std::distance(std::sregex_iterator(log.begin(), log.end(), line), std::sregex_iterator());
        }
        return n;
    }

    // Runs `request(i)` for i in [0, count) on as many threads, all let go at once.
    template <class Request>
    static void all_at_once(int count, Request request) {
        std::atomic<int> ready{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int i = 0; i < count; ++i)
            threads.emplace_back([&, i] {
                ++ready;
                while (!go) std::this_thread::yield();
                request(i);
            });
        while (ready < count) std::this_thread::yield();
        go = true;
        for (auto &t : threads) t.join();
    }
};

}  // namespace

TEST_F(TwoInstances, TwentyClaimsOfOneLinkOnBothInstancesGrantOnce) {
    ASSERT_GT(a.port(), 0);
    ASSERT_GT(b.port(), 0);
    ask_voice_code(a, "13900000001");
    ASSERT_EQ("6", confirm(b, "13900000001", a.wait_for_line("voice code for 13900000001: ([0-9]{6})")).body);
    auto [cookie, code] = captcha(a);
    ASSERT_TRUE(contains(submit_login(b, "13900000001", code, cookie).body, "p.php"));  // logged in on the other one
    for (int round = 0; round < rounds; ++round) {
        std::string page = get(instance(round), "/p.php", cookie).body;
        size_t mark = page.find("giving&hash=");
        ASSERT_NE(std::string::npos, mark);
        std::string token = page.substr(mark + 12, 32);
        // The first round grants the week's minutes, later ones say they were
        // claimed: either way one reply with a body, and empty ones for the rest.
        std::atomic<int> answered{0}, empty{0};
        all_at_once(20, [&](int i) {
            RawReply r = get(instance(i), "/p.php?class=giving&hash=" + token, cookie);
            (r.body.empty() ? empty : answered)++;
        });
        EXPECT_EQ(1, answered.load());
        EXPECT_EQ(19, empty.load());
    }
    EXPECT_EQ("45", post(b, "/url.php", "action=balance&url=" + b.host() + "&ip=127.0.0.1", cookie).body);
    EXPECT_EQ("1", database.text("SELECT COUNT(*) FROM weekly_claims"));
}

TEST_F(TwoInstances, TwelveRegistrationsAtOnceGetTwelveIds) {
    const int count = 12;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> numbers, codes;
        for (int i = 0; i < count; ++i) {
            numbers.push_back(std::to_string(13900000100LL + 100 * round + i));
            ask_voice_code(instance(i), numbers.back());
            codes.push_back(instance(i).wait_for_line("voice code for " + numbers.back() + ": ([0-9]{6})"));
        }
        std::vector<std::string> replies(count);
        all_at_once(count, [&](int i) { replies[i] = confirm(instance(i + 1), numbers[i], codes[i]).body; });
        for (int i = 0; i < count; ++i) EXPECT_EQ("6", replies[i]) << numbers[i];
        // The address's hourly limit of rings is not what this test is about.
        database.run("DELETE FROM voice_requests");
    }
    std::string all = std::to_string(rounds * count);
    EXPECT_EQ(all, database.text("SELECT COUNT(DISTINCT id) FROM members"));
    EXPECT_EQ(all, database.text("SELECT COUNT(*) FROM members"));
    EXPECT_EQ("100000", database.text("SELECT MIN(id) FROM members"));
}

TEST_F(TwoInstances, TenVoiceCodeRequestsForOneNumberRingThreeTimes) {
    for (int round = 0; round < rounds; ++round) {
        std::string number = std::to_string(13900000200LL + round);
        all_at_once(10, [&](int i) { ask_voice_code(instance(i), number); });
        EXPECT_EQ(3u, rings(number)) << number;
        EXPECT_EQ("3", database.text("SELECT COUNT(*) FROM voice_requests WHERE number = '" + number + "'"));
    }

    // One address's hourly limit, 21 more numbers at once: 20 rings in all,
    // the 9 above included.
    all_at_once(21, [&](int i) { ask_voice_code(instance(i), std::to_string(13900000300LL + i)); });
    EXPECT_EQ("20", database.text("SELECT COUNT(*) FROM voice_requests"));
}

TEST_F(TwoInstances, TenWrongCodesAtOnceVoidTheVoiceCode) {
    for (int round = 0; round < rounds; ++round) {
        std::string number = std::to_string(13900000400LL + round);
        ask_voice_code(a, number);
        std::string code = a.wait_for_line("voice code for " + number + ": ([0-9]{6})");
        std::string wrong = code == "000000" ? "111111" : "000000";
        all_at_once(10, [&](int i) { confirm(instance(i), number, wrong); });
        EXPECT_NE("6", confirm(b, number, code).body) << number;
        EXPECT_EQ("", database.text("SELECT number FROM voice_codes"));
    }
    EXPECT_EQ("0", database.text("SELECT COUNT(*) FROM members"));
}

TEST_F(TwoInstances, OneCaptchaTriedTenTimesAtOnceLogsInOnce) {
    ask_voice_code(a, "13900000500");
    ASSERT_EQ("6", confirm(a, "13900000500", a.wait_for_line("voice code for 13900000500: ([0-9]{6})")).body);
    for (int round = 0; round < rounds; ++round) {
        auto [cookie, code] = captcha(instance(round));
        std::atomic<int> logged_in{0};
        all_at_once(10, [&](int i) {
            logged_in += contains(submit_login(instance(i), "13900000500", code, cookie).body, "p.php");
        });
        EXPECT_EQ(1, logged_in.load());
    }
}
