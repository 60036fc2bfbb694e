// The web access routine's own WinINet calls, with their arguments and in
// order, as the recording fake kernel and the recording layer over the real
// wininet stand-in see them against a loopback server: the requests for
// pending events between the pieces, the header block asked for whole, the
// program's own cookie calls, and what a broken-off exchange gives.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "tests/support/recording_kernel.h"
#include "tests/support/recording_wininet.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

class WebAccessCalls : public RecordingKernel {
protected:
    ScratchDir data;
    void SetUp() override {
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        RecordingKernel::SetUp();
        recording_wininet::install(recorder);
    }
    // Runs `exchange` inside the program, with the window's event loop up; the
    // calls it made, without the start routine's own.
    std::vector<std::string> calls_of(const std::function<void()> &exchange) {
        size_t from = 0;
        recorder.during_event_loop = [&] {
            from = recorder.calls.size();
            exchange();
            recorder.calls.push_back("exchange done");
        };
        EXPECT_EQ(0, start());
        auto end = std::find(recorder.calls.begin(), recorder.calls.end(), "exchange done");
        return std::vector<std::string>(recorder.calls.begin() + static_cast<long>(from), end);
    }
};

std::vector<std::string> starting_with(const std::vector<std::string> &calls, std::initializer_list<std::string> prefixes) {
    std::vector<std::string> out;
    for (const auto &c : calls)
        for (const auto &p : prefixes)
            if (c.rfind(p, 0) == 0) out.push_back(c);
    return out;
}

TEST_F(WebAccessCalls, AGetMakesExactlyTheseCallsAndAsksForEventsBeforeEveryPiece) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply(std::string(1100, 'b')); });
    std::string address = server.host() + "/x?y=1";
    web::Bytes body;
    auto calls = calls_of([&] { body = web::网页_访问(address); });
    EXPECT_EQ(1100u, body.size());
    std::string headers_length = std::to_string(std::string(
        "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
        "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\nReferer: http://" +
        server.host() + "/x?y=1\r\nAccept-Language: zh-cn\r\n").size());
    std::vector<std::string> expected = {
        "InternetOpenA \"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)\" 1 \"\" \"\" 0",
        "InternetConnectA \"127.0.0.1\" " + std::to_string(server.port()) + " 3",
        "HttpOpenRequestA \"GET\" \"/x?y=1\" \"HTTP/1.1\" 0x80000000",
        "HttpSendRequestA " + headers_length + " 0 -> TRUE",
        "process events", "InternetReadFile 512 -> TRUE 512",
        "process events", "InternetReadFile 512 -> TRUE 512",
        "process events", "InternetReadFile 512 -> TRUE 76",
        "process events", "InternetReadFile 512 -> TRUE 0",
        "HttpQueryInfoA 22 1024 -> TRUE 60",
        "InternetCloseHandle -> TRUE", "InternetCloseHandle -> TRUE", "InternetCloseHandle -> TRUE",
    };
    EXPECT_EQ(expected, starting_with(calls, {"Internet", "Http", "process events"}));
}

// A fast reply of many pieces: the window's events are asked for before each
// read, however little time the read takes.
TEST_F(WebAccessCalls, EveryPieceOfALongReplyIsPrecededByARequestForEvents) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply(std::string(1 << 20, 'z')); });
    std::string address = server.host();
    web::Bytes body;
    auto calls = starting_with(calls_of([&] { body = web::网页_访问(address); }), {"InternetReadFile", "process events"});
    EXPECT_EQ(1u << 20, body.size());
    ASSERT_EQ(2u * ((1u << 20) / 512 + 1), calls.size());
    for (size_t i = 0; i < calls.size(); i += 2) {
        ASSERT_EQ("process events", calls[i]) << i;
        ASSERT_EQ(0u, calls[i + 1].rfind("InternetReadFile 512 -> TRUE", 0)) << i;
    }
}

// The engine stores what it accepts by itself; the routine stores every
// "Set-Cookie: " line of the header block through InternetSetCookieA, for
// "http://" + host, after the handles are closed, also when the block is far
// longer than its first 1,024-byte buffer.
TEST_F(WebAccessCalls, EveryCookieLineOfALongHeaderBlockIsStoredByTheRoutine) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) {
        c.reply("body", "X-Filler: " + std::string(2000, 'f') +
                            "\r\nSet-Cookie: member=13900000001; path=/\r\nSet-Cookie: hash=abc123\r\n"
                            "X-Note: Set-Cookie: inside=1\r\n");
    });
    std::string address = server.host() + "/login";
    web::Bytes body;
    auto calls = calls_of([&] { body = web::网页_访问(address); });
    EXPECT_EQ("body", std::string(body.begin(), body.end()));
    auto after_read = std::find(calls.begin(), calls.end(), "InternetReadFile 512 -> TRUE 0");
    ASSERT_NE(calls.end(), after_read);
    std::vector<std::string> rest = starting_with(std::vector<std::string>(after_read + 1, calls.end()), {"Internet", "Http"});
    ASSERT_EQ(7u, rest.size());
    EXPECT_EQ(0u, rest[0].rfind("HttpQueryInfoA 22 1024 -> FALSE ", 0)) << rest[0];
    EXPECT_EQ(0u, rest[1].rfind("HttpQueryInfoA 22 ", 0)) << rest[1];
    EXPECT_NE(std::string::npos, rest[1].find("-> TRUE")) << rest[1];
    EXPECT_EQ("InternetCloseHandle -> TRUE", rest[2]);
    EXPECT_EQ("InternetCloseHandle -> TRUE", rest[4]);
    EXPECT_EQ("InternetSetCookieA \"http://127.0.0.1\" \"member\" \"13900000001; path=/\" -> TRUE", rest[5]);
    EXPECT_EQ("InternetSetCookieA \"http://127.0.0.1\" \"hash\" \"abc123\" -> TRUE", rest[6]);
}

// Persistent cookies go to the per-user file when the store changes; session
// cookies, whether the engine or the routine stored them, never do.
TEST_F(WebAccessCalls, OnlyPersistentCookiesReachTheCookieFile) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        if (r.request_line().find("/first") != std::string::npos)
            c.reply("", "Set-Cookie: keep=1; expires=Fri, 01 Jan 2100 00:00:00 GMT\r\nSet-Cookie: session=2\r\n");
        else
            c.reply("");
    });
    std::string first = server.host() + "/first", second = server.host() + "/second";
    calls_of([&] {
        web::网页_访问(first);
        web::网页_访问(second);  // the cookies stored after the first are settled before it is sent
    });
    std::string file = read_file(data.path() / "Corvane/WinINet/cookies.txt");
    EXPECT_NE(std::string::npos, file.find("\tkeep\t1"));
    EXPECT_EQ(std::string::npos, file.find("session"));
    ASSERT_EQ(2u, server.requests().size());
    EXPECT_NE(std::string::npos, server.requests()[1].head.find("session=2"));
}

}  // namespace
