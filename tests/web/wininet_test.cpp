// The wininet stand-in called directly: header-block buffers, InternetSetCookieA's
// rules, persistent cookies that outlive a run, one Win32 error per way an
// exchange fails, redirects as WinINet follows them, handles that keep their
// parents, waits that end with the application, whole reads, and requests
// that take nothing from the ones made before them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <algorithm>
#include <QTimer>

#include "abi/win32.h"
#include "tests/support/kept_connection_server.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/loopback_server.h"
#include "tests/support/process.h"

using namespace tolvar::test;

namespace {

const std::string kStandIn = std::string(TOLVAR_BIN) + "/wininet.so";

void *stand_in() {
    static void *lib = dlopen(kStandIn.c_str(), RTLD_NOW);
    return lib;
}
template <class Fn>
Fn *fn(const char *name) {
    return reinterpret_cast<Fn *>(dlsym(stand_in(), name));
}

DWORD last_error() {
    static void *kernel32 = dlopen((std::string(TOLVAR_BIN) + "/kernel32.so").c_str(), RTLD_NOW);
    return reinterpret_cast<DWORD (*)()>(dlsym(kernel32, "GetLastError"))();
}

struct Exchange {
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    Exchange(const std::string &host, uint16_t port, const char *path, const char *verb = "GET",
             DWORD flags = INTERNET_FLAG_RELOAD, const char *agent = "agent") {
        internet = fn<InternetOpenA_type>("InternetOpenA")(agent, INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
        connection = fn<InternetConnectA_type>("InternetConnectA")(internet, host.c_str(), port, "", "",
                                                                   INTERNET_SERVICE_HTTP, 0, 0);
        request = fn<HttpOpenRequestA_type>("HttpOpenRequestA")(connection, verb, path, "HTTP/1.1", nullptr, nullptr,
                                                                flags, 0);
    }
    Exchange(uint16_t port, const char *path, const char *verb = "GET") : Exchange("127.0.0.1", port, path, verb) {}
    bool send(const std::string &headers = "", const std::string &body = "") {
        return fn<HttpSendRequestA_type>("HttpSendRequestA")(request, headers.c_str(), static_cast<DWORD>(headers.size()),
                                                             const_cast<char *>(body.data()),
                                                             static_cast<DWORD>(body.size()));
    }
    // Reads to the end; false (with `error`) when a read fails.
    bool read_all(std::string &body, DWORD &error) {
        char piece[512];
        DWORD n = 0;
        for (;;) {
            if (!fn<InternetReadFile_type>("InternetReadFile")(request, piece, sizeof piece, &n)) {
                error = last_error();
                return false;
            }
            if (n == 0) return true;
            body.append(piece, n);
        }
    }
    ~Exchange() {
        auto close = fn<InternetCloseHandle_type>("InternetCloseHandle");
        close(request);
        close(connection);
        close(internet);
    }
};

BOOL set_cookie(const std::string &url, const char *name, const char *data) {
    return fn<InternetSetCookieA_type>("InternetSetCookieA")(url.c_str(), name, data);
}

std::string cookie_line(const HttpRequest &r) {
    const std::string name = "\r\nCookie: ";
    size_t at = r.head.find(name);
    if (at == std::string::npos) return "";
    size_t value = at + name.size();
    return r.head.substr(value, r.head.find("\r\n", value) - value);
}

uint16_t closed_port() {
    LoopbackServer closed([](const HttpRequest &, ServerConnection &) {});
    return closed.port();
}

class WinInet : public ::testing::Test {
protected:
    ScratchDir data;
    void SetUp() override {
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        ASSERT_NE(nullptr, stand_in()) << dlerror();
    }
    void TearDown() override { unsetenv("WININET_RECEIVE_TIMEOUT"); }
};

TEST_F(WinInet, RawHeaderBlockNeedsABufferLargeEnoughForItAndItsZero) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("body", "X-A: 1\r\n"); });
    Exchange e(server.port(), "/");
    ASSERT_TRUE(e.send());
    auto query = fn<HttpQueryInfoA_type>("HttpQueryInfoA");
    std::string expected = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-A: 1\r\nConnection: close\r\n\r\n";
    char small[8];
    DWORD length = sizeof small;
    EXPECT_FALSE(query(e.request, HTTP_QUERY_RAW_HEADERS_CRLF, small, &length, nullptr));
    EXPECT_EQ(expected.size() + 1, length);
    EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, last_error());
    std::string buffer(length, '#');
    EXPECT_TRUE(query(e.request, HTTP_QUERY_RAW_HEADERS_CRLF, buffer.data(), &length, nullptr));
    EXPECT_EQ(expected.size(), length);
    EXPECT_EQ(expected, buffer.substr(0, length));
    EXPECT_EQ('\0', buffer[length]);
}

TEST_F(WinInet, SetCookieFollowsDomainPathAndExpiryRules) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply(""); });
    std::string url = "http://127.0.0.1";
    EXPECT_FALSE(set_cookie(url, "other", "1; domain=example.com"));
    EXPECT_TRUE(set_cookie(url, "plain", "p1; HttpOnly; max-age=0; secure"));
    EXPECT_TRUE(set_cookie(url, "scoped", "s1; path=/a"));
    EXPECT_TRUE(set_cookie(url, "gone", "g1"));
    EXPECT_TRUE(set_cookie(url, "gone", "g1; expires=Thu, 01 Jan 1998 00:00:00 GMT"));
    for (const char *path : {"/a/page", "/b"}) {
        Exchange e(server.port(), path);
        e.send();
    }
    auto requests = server.requests();
    ASSERT_EQ(2u, requests.size());
    std::string at_a = cookie_line(requests[0]), at_b = cookie_line(requests[1]);
    EXPECT_NE(std::string::npos, at_a.find("plain=p1")) << at_a;
    EXPECT_NE(std::string::npos, at_a.find("scoped=s1")) << at_a;
    EXPECT_NE(std::string::npos, at_b.find("plain=p1")) << at_b;
    EXPECT_EQ(std::string::npos, at_b.find("scoped")) << at_b;
    EXPECT_EQ(std::string::npos, at_a.find("gone"));
    EXPECT_EQ(std::string::npos, at_a.find("other"));
}

TEST_F(WinInet, PersistentCookiesOutliveTheRunAndSessionCookiesDoNot) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("seen"); });
    std::string client = std::string(TOLVAR_BIN) + "/wininet_client";
    std::map<std::string, std::string> env = {{"XDG_DATA_HOME", data.path().string()}};
    EXPECT_EQ(0, run_process({client, kStandIn, "set", "http://127.0.0.1/", "kept",
                              "k1; expires=Fri, 01 Jan 2100 00:00:00 GMT"}, env).status);
    EXPECT_EQ(0, run_process({client, kStandIn, "set", "http://127.0.0.1/", "session", "s1"}, env).status);
    std::string file = read_file(data.path() / "Corvane/WinINet/cookies.txt");
    EXPECT_NE(std::string::npos, file.find("\tkept\tk1"));
    EXPECT_EQ(std::string::npos, file.find("session"));
    auto r = run_process({client, kStandIn, "get", "127.0.0.1", std::to_string(server.port()), "/"}, env);
    EXPECT_EQ("seen", r.out);
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_EQ("kept=k1", cookie_line(server.requests()[0]));
}

// What replies store settles into the file and into each domain's limit,
// whatever the store is spared listing: a session cookie that takes the name of
// a kept one removes it from the file, and session cookies one per reply still
// leave a domain at most 50.
TEST_F(WinInet, SessionCookiesFromRepliesReplaceKeptOnesAndKeepTheDomainsLimit) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        std::string target = r.request_line().substr(4, r.request_line().find(' ', 4) - 4);
        if (target == "/keep") c.reply("", "Set-Cookie: keep=1; expires=Fri, 01 Jan 2100 00:00:00 GMT\r\n");
        else if (target == "/replace") c.reply("", "Set-Cookie: keep=2\r\n");
        else if (target.rfind("/c", 0) == 0) c.reply("", "Set-Cookie: " + target.substr(1) + "=v\r\n");
        else c.reply("");
    });
    auto fetch = [&](const std::string &path) {
        Exchange e(server.port(), path.c_str());
        ASSERT_TRUE(e.send());
        std::string body;
        DWORD error = 0;
        ASSERT_TRUE(e.read_all(body, error));
    };
    std::string file = (data.path() / "Corvane/WinINet/cookies.txt").string();
    fetch("/keep");
    fetch("/");
    EXPECT_NE(std::string::npos, read_file(file).find("\tkeep\t1"));
    fetch("/replace");
    fetch("/");
    EXPECT_EQ(std::string::npos, read_file(file).find("keep")) << read_file(file);
    for (int i = 0; i < 60; ++i) fetch("/c" + std::to_string(100 + i));
    fetch("/");
    std::string sent = cookie_line(server.requests().back());
    EXPECT_EQ(50u, static_cast<size_t>(std::count(sent.begin(), sent.end(), '='))) << sent;
    EXPECT_NE(std::string::npos, sent.find("c159=v"));
    EXPECT_EQ(std::string::npos, sent.find("c100=v"));
}

// Each way an exchange fails has its own code, set as the thread's last error
// by the function that failed.
TEST_F(WinInet, EachFailureHasItsOwnError) {
    setenv("WININET_RECEIVE_TIMEOUT", "300", 1);
    LoopbackServer silent([](const HttpRequest &, ServerConnection &c) { c.pause(1500); });
    LoopbackServer broken([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\nhalf");
        c.pause(50);
        c.reset();
    });
    {
        Exchange e(silent.port(), "/");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_INTERNET_TIMEOUT, last_error());
    }
    {
        Exchange e("no such host", INTERNET_DEFAULT_HTTP_PORT, "/");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_INTERNET_NAME_NOT_RESOLVED, last_error());
    }
    {
        Exchange e(closed_port(), "/");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_INTERNET_CANNOT_CONNECT, last_error());
    }
    {
        Exchange e(broken.port(), "/");
        ASSERT_TRUE(e.send());
        std::string body;
        DWORD error = 0;
        EXPECT_FALSE(e.read_all(body, error));
        EXPECT_EQ("half", body);  // what came is read first, then the failure
        EXPECT_EQ(ERROR_INTERNET_CONNECTION_RESET, error);
    }
    auto close = fn<InternetCloseHandle_type>("InternetCloseHandle");
    EXPECT_FALSE(close(reinterpret_cast<HINTERNET>(&close)));
    EXPECT_EQ(ERROR_INVALID_HANDLE, last_error());
}

// A reply that drips a byte at a time is given up like a silent one.
TEST_F(WinInet, AReplyThatDripsIsGivenUpAfterTheReceiveTimeOut) {
    setenv("WININET_RECEIVE_TIMEOUT", "300", 1);
    LoopbackServer drip([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        for (int i = 0; i < 30; ++i) {
            c.send("x");
            c.pause(50);
        }
    });
    Exchange e(drip.port(), "/");
    ASSERT_TRUE(e.send());
    std::string body;
    DWORD error = 0;
    EXPECT_FALSE(e.read_all(body, error));
    EXPECT_EQ(ERROR_INTERNET_TIMEOUT, error);
    EXPECT_LT(body.size(), 30u);
}

TEST_F(WinInet, AChildHandleKeepsItsParent) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("still here"); });
    auto close = fn<InternetCloseHandle_type>("InternetCloseHandle");
    HINTERNET internet =
        fn<InternetOpenA_type>("InternetOpenA")("agent-of-the-session", INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    HINTERNET connection = fn<InternetConnectA_type>("InternetConnectA")(internet, "127.0.0.1", server.port(), "", "",
                                                                         INTERNET_SERVICE_HTTP, 0, 0);
    EXPECT_TRUE(close(internet));
    HINTERNET request = fn<HttpOpenRequestA_type>("HttpOpenRequestA")(connection, "GET", "/", "HTTP/1.1", nullptr,
                                                                      nullptr, 0, 0);
    EXPECT_TRUE(close(connection));
    ASSERT_NE(nullptr, request);
    EXPECT_EQ(nullptr, fn<HttpOpenRequestA_type>("HttpOpenRequestA")(request, "GET", "/", nullptr, nullptr, nullptr, 0, 0));
    EXPECT_EQ(ERROR_INTERNET_INCORRECT_HANDLE_TYPE, last_error());
    EXPECT_TRUE(fn<HttpSendRequestA_type>("HttpSendRequestA")(request, "", 0, nullptr, 0));
    char body[32] = {};
    DWORD n = 0;
    EXPECT_TRUE(fn<InternetReadFile_type>("InternetReadFile")(request, body, sizeof body, &n));
    EXPECT_EQ("still here", std::string(body, n));
    EXPECT_TRUE(close(request));
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_NE(std::string::npos, server.requests()[0].head.find("\r\nUser-Agent: agent-of-the-session"));
}

// A form posted to an address that answers "302 Location: /p.php" (as a PHP
// login page does) is followed by a GET without body and without the form's lines.
TEST_F(WinInet, ARedirectedPostBecomesAGetWithoutTheFormLines) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        if (r.request_line().rfind("POST /validate.php", 0) == 0) c.reply("moved", "Location: /p.php\r\n", "302 Found");
        else if (r.request_line().rfind("POST /keep", 0) == 0) c.reply("", "Location: /kept\r\n", "307 Temporary Redirect");
        else c.reply("member page of " + r.body);
    });
    std::string form = "MemberCode=1&ValidCode=2";
    std::string lines = "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                        std::to_string(form.size()) + "\r\n";
    {
        Exchange e(server.port(), "/validate.php", "POST");
        ASSERT_TRUE(e.send(lines, form));
        std::string body;
        DWORD error = 0;
        EXPECT_TRUE(e.read_all(body, error));
        EXPECT_EQ("member page of ", body);
    }
    {
        Exchange e(server.port(), "/keep", "POST");
        ASSERT_TRUE(e.send(lines, form));
        std::string body;
        DWORD error = 0;
        EXPECT_TRUE(e.read_all(body, error));
        EXPECT_EQ("member page of " + form, body);
    }
    auto requests = server.requests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ("GET /p.php HTTP/1.1", requests[1].request_line());
    EXPECT_EQ(std::string::npos, requests[1].head.find("Content-"));
    EXPECT_NE(std::string::npos, requests[1].head.find("\r\nAccept-Language: zh-cn"));
    EXPECT_EQ("", requests[1].body);
    EXPECT_EQ("POST /kept HTTP/1.1", requests[3].request_line());
    EXPECT_EQ(form, requests[3].body);
}

// A loop ends at the first address asked twice, and a chain after ten
// redirects, as a failed exchange with the last reply's header block.
TEST_F(WinInet, RedirectLoopsAndLongChainsEndAsAFailedExchange) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        std::string line = r.request_line();
        if (line.rfind("GET /self", 0) == 0) c.reply("", "Location: /self\r\n", "302 Found");
        else if (line.rfind("GET /chain/", 0) == 0)
            c.reply("", "Location: /chain/" + std::to_string(std::stoi(line.substr(11)) + 1) + "\r\n", "301 Moved");
        else if (line.rfind("GET /elsewhere", 0) == 0) c.reply("", "Location: ftp://example.com/\r\n", "302 Found");
        else c.reply("end");
    });
    {
        Exchange e(server.port(), "/self");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_HTTP_REDIRECT_FAILED, last_error());
        char block[256];
        DWORD length = sizeof block;
        ASSERT_TRUE(fn<HttpQueryInfoA_type>("HttpQueryInfoA")(e.request, HTTP_QUERY_RAW_HEADERS_CRLF, block, &length, nullptr));
        EXPECT_EQ(0u, std::string(block, length).find("HTTP/1.1 302 Found\r\n"));
        std::string body;
        DWORD error = 0;
        EXPECT_FALSE(e.read_all(body, error));
        EXPECT_EQ(ERROR_HTTP_REDIRECT_FAILED, error);
    }
    EXPECT_EQ(1u, server.requests().size());
    {
        Exchange e(server.port(), "/chain/0");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_HTTP_REDIRECT_FAILED, last_error());
    }
    EXPECT_EQ(1u + 11u, server.requests().size());
    {
        Exchange e(server.port(), "/elsewhere");
        EXPECT_FALSE(e.send());
        EXPECT_EQ(ERROR_HTTP_REDIRECT_FAILED, last_error());
    }
}

// While a reply is awaited the application's events run at once, and when the
// application ends its event loops the exchange is abandoned; no new one starts
// until an event loop runs again.
TEST_F(WinInet, AWaitRunsTheEventsAndEndsWithTheApplication) {
    app();
    LoopbackServer silent([](const HttpRequest &, ServerConnection &c) { c.pause(1000); });
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 10) QCoreApplication::exit(0);
    });
    timer.start(5);
    bool sent = true;
    DWORD error = 0;
    QTimer::singleShot(0, [&] {
        Exchange e(silent.port(), "/");
        sent = e.send();
        error = last_error();
        Exchange later(silent.port(), "/later");
        EXPECT_FALSE(later.send());
        EXPECT_EQ(ERROR_INTERNET_OPERATION_CANCELLED, last_error());
    });
    QCoreApplication::exec();
    timer.stop();
    EXPECT_FALSE(sent);
    EXPECT_EQ(ERROR_INTERNET_OPERATION_CANCELLED, error);
    EXPECT_EQ(10, ticks);
    EXPECT_EQ(1u, silent.requests().size());
    // The application runs again: exchanges work again.
    LoopbackServer fast([](const HttpRequest &, ServerConnection &c) { c.reply("again"); });
    Exchange e(fast.port(), "/");
    EXPECT_TRUE(e.send());
}

// A "path=" that is no path (it does not begin with "/") would never match a
// request and could not be read back from the cookie file: the cookie takes
// its address's directory instead, reaches that directory's requests, and
// outlives the run without the file being taken for damaged.
TEST_F(WinInet, ACookiePathThatIsNoPathTakesTheAddresssDirectoryAndIsKept) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("seen"); });
    std::string client = std::string(TOLVAR_BIN) + "/wininet_client";
    std::map<std::string, std::string> env = {{"XDG_DATA_HOME", data.path().string()}};
    EXPECT_EQ(0, run_process({client, kStandIn, "set", "http://127.0.0.1/shop/cart.php", "odd",
                              "o1; path=shop; expires=Fri, 01 Jan 2100 00:00:00 GMT"}, env).status);
    auto in_shop = run_process({client, kStandIn, "get", "127.0.0.1", std::to_string(server.port()), "/shop/list"}, env);
    auto elsewhere = run_process({client, kStandIn, "get", "127.0.0.1", std::to_string(server.port()), "/other"}, env);
    EXPECT_EQ("", in_shop.err);
    ASSERT_EQ(2u, server.requests().size());
    EXPECT_EQ("odd=o1", cookie_line(server.requests()[0]));
    EXPECT_EQ("", cookie_line(server.requests()[1]));
}

// The stand-in keeps its libcurl multi handles from one request to the next; what
// a request does stays its own: a connection of its own even to a server
// that keeps connections open, and no cookie at all when it asks for none,
// whatever the request before it sent.
TEST_F(WinInet, EveryRequestHasAConnectionOfItsOwnAndOneWithoutCookiesSendsNone) {
    KeptConnectionServer server("HTTP/1.1 200 OK\r\nContent-Length: 2\r\nSet-Cookie: kept=1; path=/\r\n\r\nok");
    auto fetch = [&](DWORD flags) {
        Exchange e("127.0.0.1", server.port(), "/", "GET", flags);
        ASSERT_TRUE(e.send());
        std::string body;
        DWORD error = 0;
        ASSERT_TRUE(e.read_all(body, error)) << error;
        EXPECT_EQ("ok", body);
    };
    fetch(INTERNET_FLAG_RELOAD);
    fetch(INTERNET_FLAG_RELOAD);
    fetch(INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES);
    fetch(INTERNET_FLAG_RELOAD);
    std::vector<std::string> heads = server.heads();
    ASSERT_EQ(4u, heads.size());
    EXPECT_EQ(4, server.connections());
    auto cookies = [](const std::string &head) {
        size_t at = head.find("\r\nCookie: ");
        return at == std::string::npos ? std::string() : head.substr(at + 10, head.find("\r\n", at + 2) - at - 10);
    };
    EXPECT_NE(std::string::npos, cookies(heads[1]).find("kept=1"));
    EXPECT_EQ(std::string::npos, heads[2].find("Cookie"));
    EXPECT_NE(std::string::npos, cookies(heads[3]).find("kept=1"));
}

// The engine a thread keeps for its next requests carries nothing of one
// request into the next: method, body, form lines, agent, cookies.
TEST_F(WinInet, EachRequestIsExactlyItsOwnWhateverCameBefore) {
    LoopbackServer server([](const HttpRequest &r, ServerConnection &c) {
        c.reply("reply to " + r.request_line().substr(0, r.request_line().find(' ')), "Set-Cookie: seen=1; path=/\r\n");
    });
    std::string form = "MemberCode=1";
    std::string lines = "Content-Type: application/x-www-form-urlencoded\r\n";
    struct Step {
        const char *verb;
        DWORD flags;
        const char *agent;
        bool with_body;
        const char *reply;
    };
    // Each request follows one whose leftovers would change it.
    const Step steps[] = {
        {"POST", INTERNET_FLAG_RELOAD, "agent", true, "reply to POST"},
        {"HEAD", INTERNET_FLAG_RELOAD, "agent", false, ""},
        {"PUT", INTERNET_FLAG_RELOAD, "agent", true, "reply to PUT"},
        {"POST", INTERNET_FLAG_RELOAD, "agent", true, "reply to POST"},
        {"HEAD", INTERNET_FLAG_RELOAD, "agent", false, ""},
        {"GET", INTERNET_FLAG_RELOAD, "", false, "reply to GET"},
        {"GET", INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_COOKIES, "agent", false, "reply to GET"},
        {"POST", INTERNET_FLAG_RELOAD, "agent", true, "reply to POST"},
    };
    for (const Step &step : steps) {
        Exchange e("127.0.0.1", server.port(), "/", step.verb, step.flags, step.agent);
        ASSERT_TRUE(step.with_body ? e.send(lines, form) : e.send());
        std::string body;
        DWORD error = 0;
        ASSERT_TRUE(e.read_all(body, error)) << step.verb << " " << error;
        EXPECT_EQ(step.reply, body) << step.verb;
    }
    auto requests = server.requests();
    ASSERT_EQ(std::size(steps), requests.size());
    for (size_t i = 0; i < requests.size(); ++i) {
        const Step &step = steps[i];
        const HttpRequest &r = requests[i];
        EXPECT_EQ(std::string(step.verb) + " / HTTP/1.1", r.request_line()) << i;
        EXPECT_EQ(step.with_body ? form : "", r.body) << i;
        EXPECT_EQ(step.with_body, r.head.find("\r\nContent-Type: application/x-www-form-urlencoded") != std::string::npos) << i;
        EXPECT_EQ(step.with_body, r.head.find("\r\nContent-Length: ") != std::string::npos) << i;
        EXPECT_EQ(*step.agent != 0, (r.head + "\r\n").find("\r\nUser-Agent: agent\r\n") != std::string::npos) << i;
        bool cookie_expected = i > 0 && !(step.flags & INTERNET_FLAG_NO_COOKIES);
        EXPECT_EQ(cookie_expected ? "seen=1" : "", cookie_line(r)) << i;
    }
}

// A read gets the whole amount it asks for while the body goes on, however
// the server cuts it: short only at the end.
TEST_F(WinInet, AReadGetsTheWholeAmountAskedForUntilTheEnd) {
    const std::string body(2000, 'd');
    LoopbackServer server([&](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n");
        for (size_t at = 0; at < body.size(); at += 300) {
            c.send(body.substr(at, 300));
            c.pause(5);
        }
    });
    Exchange e(server.port(), "/");
    ASSERT_TRUE(e.send());
    std::vector<DWORD> counts;
    char piece[512];
    DWORD n = 0;
    do {
        ASSERT_TRUE(fn<InternetReadFile_type>("InternetReadFile")(e.request, piece, sizeof piece, &n));
        counts.push_back(n);
    } while (n > 0);
    EXPECT_EQ((std::vector<DWORD>{512, 512, 512, 464, 0}), counts);
}

}  // namespace
