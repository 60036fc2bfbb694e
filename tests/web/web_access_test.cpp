// The web access routine against real HTTP servers on loopback, through the
// real kernel and the wininet stand-in: the exact bytes on the wire, cookies,
// failures, slow and broken replies.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QMessageBox>
#include <QPushButton>

#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;
using tolvar::web::Bytes;
using tolvar::web::网页_访问;

namespace {

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

std::string text(const Bytes &b) { return std::string(b.begin(), b.end()); }

// Each test keeps its cookie file in a folder of its own.
class WebAccess : public ::testing::Test {
protected:
    ScratchDir data;
    void SetUp() override { setenv("XDG_DATA_HOME", data.path().c_str(), 1); }
};

TEST_F(WebAccess, GetSendsExactlyTheDefaultLinesAndWritesTheAddressBack) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("hello"); });
    std::string address = "  " + server.host() + "/page?x=1  ";
    std::string headers;
    Bytes body;
    in_program([&] { body = 网页_访问(address, 0, "", &headers); });
    EXPECT_EQ("hello", text(body));
    EXPECT_EQ("http://" + server.host() + "/page?x=1", address);
    std::string referer = "Referer: http://" + server.host() + "/page?x=1\r\n";
    EXPECT_EQ(kAccept + referer + "Accept-Language: zh-cn\r\n", headers);
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_EQ("GET /page?x=1 HTTP/1.1\r\nHost: " + server.host() + "\r\nUser-Agent: " + kAgent + "\r\n" + kAccept +
                  referer + "Accept-Language: zh-cn\r\n\r\n",
              server.requests()[0].raw);
}

TEST_F(WebAccess, PostOfTwentyThreeBytesAddsTheFormLinesInOrder) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("ok"); });
    std::string address = "http://" + server.host() + "/url.php?class=check";
    std::string post = "action=taste&tel=13900";
    post += "1";
    ASSERT_EQ(23u, post.size());
    std::string headers;
    in_program([&] { 网页_访问(address, 1, "", &headers, post); });
    std::string referer = "Referer: " + address + "\r\n";
    std::string form_lines = "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 23\r\n";
    EXPECT_EQ(kAccept + referer + "Accept-Language: zh-cn\r\n" + form_lines, headers);
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_EQ("POST /url.php?class=check HTTP/1.1\r\nHost: " + server.host() + "\r\nUser-Agent: " + kAgent + "\r\n" +
                  kAccept + referer + "Accept-Language: zh-cn\r\n" + form_lines + "\r\n" + post,
              server.requests()[0].raw);
}

TEST_F(WebAccess, CallerLinesStayFirstAndALowerCaseAcceptSuppressesTheDefault) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply(""); });
    std::string address = server.host();
    std::string headers = "accept: text/html\r\nX-Mine: 1\r\n";
    in_program([&] { 网页_访问(address, 0, "", &headers); });
    EXPECT_EQ("accept: text/html\r\nX-Mine: 1\r\nReferer: http://" + server.host() + "\r\nAccept-Language: zh-cn\r\n",
              headers);
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_EQ("GET / HTTP/1.1\r\nHost: " + server.host() + "\r\nUser-Agent: " + kAgent + "\r\n" + headers + "\r\n",
              server.requests()[0].raw);
}

TEST_F(WebAccess, GetIgnoresPostDataAndAnEmptyPostSendsNoFormLines) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("x"); });
    std::string a1 = server.host() + "/a", a2 = server.host() + "/b";
    in_program([&] {
        网页_访问(a1, 0, "", nullptr, "tel=1");
        网页_访问(a2, 1);
    });
    auto requests = server.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET /a HTTP/1.1", requests[0].request_line());
    EXPECT_EQ("", requests[0].body);
    EXPECT_EQ(std::string::npos, requests[0].head.find("Content-"));
    EXPECT_EQ("POST /b HTTP/1.1", requests[1].request_line());
    EXPECT_EQ(std::string::npos, requests[1].head.find("Content-Type"));
    EXPECT_EQ("", requests[1].body);
}

TEST_F(WebAccess, AWrongMethodShowsTheReminderBoxAndSendsNothing) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("x"); });
    for (int method : {2, -1}) {
        std::string address = "  " + server.host() + "  ";
        QString title, message;
        Bytes body{1};
        in_program([&] {
            QTimer::singleShot(50, [&] {
                auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                ASSERT_NE(nullptr, box);
                title = box->windowTitle();
                message = box->text();
                box->button(QMessageBox::Ok)->click();
            });
            body = 网页_访问(address, method);
        });
        EXPECT_TRUE(body.empty());
        EXPECT_EQ(server.host(), address);  // trimmed, not completed
        EXPECT_EQ(QString::fromUtf8("友情提醒"), title);
        EXPECT_EQ(QString::fromUtf8("【网页_访问】命令的第二个【访问方式】参数有误,请返回修改"), message);
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(WebAccess, TwoSetCookieLinesComeBackOnTheNextRequest) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        if (r.request_line().find("/login") != std::string::npos)
            c.reply("in", "Set-Cookie: member=13900000001; path=/\r\nSet-Cookie: hash=abc123\r\n");
        else
            c.reply("page");
    });
    std::string login = server.host() + "/login", page = server.host() + "/p.php";
    in_program([&] {
        网页_访问(login, 1, "", nullptr, "tel=1");
        网页_访问(page);
    });
    auto requests = server.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(std::string::npos, requests[0].head.find("Cookie:"));
    size_t cookie = requests[1].head.find("\r\nCookie: ");
    ASSERT_NE(std::string::npos, cookie) << requests[1].head;
    std::string line = requests[1].head.substr(cookie + 2, requests[1].head.find("\r\n", cookie + 2) - cookie - 2);
    EXPECT_NE(std::string::npos, line.find("member=13900000001"));
    EXPECT_NE(std::string::npos, line.find("hash=abc123"));
    // One Cookie line, not one from the engine and one of the routine's own.
    EXPECT_EQ(std::string::npos, requests[1].head.find("\r\nCookie: ", cookie + 2));
}

TEST_F(WebAccess, AnUnreachableServerGivesAnEmptyBodyAndNoMessage) {
    uint16_t port;
    {
        LoopbackServer closed([](const HttpRequest &, ServerConnection &) {});
        port = closed.port();
    }
    std::string address = "127.0.0.1:" + std::to_string(port) + "/x";
    Bytes body{1};
    bool box_shown = false;
    in_program([&] {
        QTimer::singleShot(200, [&] { box_shown = QApplication::activeModalWidget() != nullptr; });
        body = 网页_访问(address);
        QTest::qWait(250);
    });
    EXPECT_TRUE(body.empty());
    EXPECT_FALSE(box_shown);
}

TEST_F(WebAccess, ASlowReplyLetsATimerAndANestedExchangeRun) {
    LoopbackServer slow([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        for (int i = 0; i < 10; ++i) {
            c.pause(60);
            c.send(std::string(100, static_cast<char>('a' + i)));
        }
    });
    LoopbackServer fast([](const HttpRequest &, ServerConnection &c) { c.reply("nested reply"); });
    std::string outer_address = slow.host() + "/slow", inner_address = fast.host() + "/fast";
    Bytes outer, inner;
    int ticks = 0;
    in_program([&] {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            if (++ticks == 2) inner = 网页_访问(inner_address);
        });
        timer.start(40);
        outer = 网页_访问(outer_address);
    });
    std::string expected;
    for (int i = 0; i < 10; ++i) expected += std::string(100, static_cast<char>('a' + i));
    EXPECT_EQ(expected, text(outer));
    EXPECT_EQ("nested reply", text(inner));
    EXPECT_GE(ticks, 5);
}

// An exchange that broke off is a failed exchange, however much of its body
// came: the routine gives the empty body of every failure and says it failed.
TEST_F(WebAccess, AnExchangeBrokenOffGivesAnEmptyBodyAsAFailure) {
    LoopbackServer reset([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 10000\r\n\r\n" + std::string(3000, 'r'));
        c.pause(100);
        c.reset();
    });
    LoopbackServer broken_chunk([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n78\r\n" + std::string(120, 'c') +
               "\r\nzz\r\n" + std::string(180, 'c'));
    });
    LoopbackServer whole([](const HttpRequest &, ServerConnection &c) { c.reply(""); });
    std::string a1 = reset.host(), a2 = broken_chunk.host(), a3 = whole.host();
    Bytes b1{1}, b2{1}, b3{1};
    bool f1 = false, f2 = false, f3 = true;
    in_program([&] {
        b1 = 网页_访问(a1);
        f1 = web::last_exchange_failed();
        b2 = 网页_访问(a2);
        f2 = web::last_exchange_failed();
        b3 = 网页_访问(a3);
        f3 = web::last_exchange_failed();
    });
    EXPECT_TRUE(b1.empty());
    EXPECT_TRUE(f1);
    EXPECT_TRUE(b2.empty());
    EXPECT_TRUE(f2);
    EXPECT_TRUE(b3.empty());  // an empty reply that came whole is no failure
    EXPECT_FALSE(f3);
}

TEST_F(WebAccess, ABodyOverThirtyTwoMegabytesIsAFailedExchange) {
    constexpr size_t kSent = (32u << 20) + 300000;
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(kSent) + "\r\n\r\n");
        std::string block(1 << 20, 'z');
        for (size_t i = 0; i < 26; ++i) block[i] = static_cast<char>('A' + i);
        for (size_t sent = 0; sent < kSent; sent += block.size()) c.send(block.substr(0, std::min(block.size(), kSent - sent)));
    });
    std::string address = server.host();
    Bytes body{1};
    bool failed = false;
    in_program([&] {
        body = 网页_访问(address);
        failed = web::last_exchange_failed();
    });
    EXPECT_TRUE(body.empty());
    EXPECT_TRUE(failed);
}

TEST_F(WebAccess, ASilentReplyIsGivenUpAfterTheReceiveTimeOut) {
    setenv("WININET_RECEIVE_TIMEOUT", "1000", 1);
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nsome");
        c.pause(2000);
    });
    std::string address = server.host();
    Bytes body{1};
    in_program([&] { body = 网页_访问(address); });
    unsetenv("WININET_RECEIVE_TIMEOUT");
    EXPECT_TRUE(body.empty());
}

TEST_F(WebAccess, RepliesAreConvertedFromUtf8OrBig5WhenAsked) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        if (r.request_line().find("/utf8") != std::string::npos)
            c.reply("ok \xE7\x99\xBB\xE5\xBD\x95\xE6\x88\x90\xE5\x8A\x9F");  // 登录成功
        else
            c.reply("\xB3\x6F\xAD\xD3\xB3\x6E\xC5\xE9");  // 這個軟體 in Big5
    });
    std::string a1 = server.host() + "/utf8", a2 = server.host() + "/big5", a3 = server.host() + "/big5";
    Bytes utf8, big5, raw;
    in_program([&] {
        utf8 = 网页_访问(a1, 0, "", nullptr, "", 1);
        big5 = 网页_访问(a2, 0, "", nullptr, "", 2);
        raw = 网页_访问(a3, 0, "", nullptr, "", 7);
    });
    EXPECT_EQ("ok \xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6", text(utf8));
    EXPECT_EQ("\xD5\xE2\xB8\xF6\xC8\xED\xCC\xE5", text(big5));  // 这个软体 in GBK
    EXPECT_EQ("\xB3\x6F\xAD\xD3\xB3\x6E\xC5\xE9", text(raw));
}

TEST_F(WebAccess, AProxyReceivesTheRequestWithTheWholeAddress) {
    LoopbackServer proxy([](const HttpRequest &, ServerConnection &c) { c.reply("via proxy"); });
    std::string address = "service.example:81/p.php?class=";
    Bytes body;
    in_program([&] { body = 网页_访问(address, 0, proxy.host()); });
    EXPECT_EQ("via proxy", text(body));
    ASSERT_EQ(1u, proxy.requests().size());
    EXPECT_EQ("GET http://service.example:81/p.php?class= HTTP/1.1", proxy.requests()[0].request_line());
    EXPECT_NE(std::string::npos, proxy.requests()[0].head.find("\r\nHost: service.example:81\r\n"));
}

TEST_F(WebAccess, PersistentCookiesAreKeptInAFileOnlyTheUserCanRead) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) {
        c.reply("", "Set-Cookie: keep=1; expires=Fri, 01 Jan 2100 00:00:00 GMT\r\nSet-Cookie: session=2\r\n");
    });
    std::string address = server.host();
    in_program([&] { 网页_访问(address); });
    auto file = data.path() / "Corvane/WinINet/cookies.txt";
    struct stat st {};
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777);
    std::string content = read_file(file);
    EXPECT_NE(std::string::npos, content.find("\tkeep\t1"));
    EXPECT_EQ(std::string::npos, content.find("session"));
}

}  // namespace
