// The wininet stand-in called directly: header-block buffers, InternetSetCookieA's
// rules, and persistent cookies that outlive a run.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "abi/win32.h"
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
Fn fn(const char *name) {
    return reinterpret_cast<Fn>(dlsym(stand_in(), name));
}

struct Exchange {
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    Exchange(uint16_t port, const char *path) {
        internet = fn<HINTERNET (*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD)>("InternetOpenA")("agent", 1, "", "", 0);
        connection = fn<HINTERNET (*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR)>(
            "InternetConnectA")(internet, "127.0.0.1", port, "", "", 3, 0, 0);
        request = fn<HINTERNET (*)(HINTERNET, LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR *, DWORD, DWORD_PTR)>(
            "HttpOpenRequestA")(connection, "GET", path, "HTTP/1.1", nullptr, nullptr, 0x80000000, 0);
    }
    bool send() { return fn<BOOL (*)(HINTERNET, LPCSTR, DWORD, LPVOID, DWORD)>("HttpSendRequestA")(request, "", 0, nullptr, 0); }
    ~Exchange() {
        auto close = fn<BOOL (*)(HINTERNET)>("InternetCloseHandle");
        close(request);
        close(connection);
        close(internet);
    }
};

BOOL set_cookie(const std::string &url, const char *name, const char *data) {
    return fn<BOOL (*)(LPCSTR, LPCSTR, LPCSTR)>("InternetSetCookieA")(url.c_str(), name, data);
}

std::string cookie_line(const HttpRequest &r) {
    size_t at = r.head.find("\r\nCookie: ");
    return at == std::string::npos ? "" : r.head.substr(at + 10, r.head.find("\r\n", at + 2) - at - 10);
}

class WinInet : public ::testing::Test {
protected:
    ScratchDir data;
    void SetUp() override {
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        ASSERT_NE(nullptr, stand_in()) << dlerror();
    }
};

TEST_F(WinInet, RawHeaderBlockNeedsABufferLargeEnoughForItAndItsZero) {
    LoopbackServer server([](const HttpRequest &, ServerConnection &c) { c.reply("body", "X-A: 1\r\n"); });
    Exchange e(server.port(), "/");
    ASSERT_TRUE(e.send());
    auto query = fn<BOOL (*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD)>("HttpQueryInfoA");
    std::string expected = "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nX-A: 1\r\nConnection: close\r\n\r\n";
    char small[8];
    DWORD length = sizeof small;
    EXPECT_FALSE(query(e.request, 22, small, &length, nullptr));
    EXPECT_EQ(expected.size() + 1, length);
    void *kernel32 = dlopen((std::string(TOLVAR_BIN) + "/kernel32.so").c_str(), RTLD_NOW);
    ASSERT_NE(nullptr, kernel32);
    EXPECT_EQ(122u, reinterpret_cast<DWORD (*)()>(dlsym(kernel32, "GetLastError"))());  // ERROR_INSUFFICIENT_BUFFER
    std::string buffer(length, '#');
    EXPECT_TRUE(query(e.request, 22, buffer.data(), &length, nullptr));
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
    auto r = run_process({client, kStandIn, "get", "127.0.0.1", std::to_string(server.port()), "/"}, env);
    EXPECT_EQ("seen", r.out);
    ASSERT_EQ(1u, server.requests().size());
    EXPECT_EQ("kept=k1", cookie_line(server.requests()[0]));
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

}  // namespace
