// Cutting addresses into host, path and port, quirks included.
#include <gtest/gtest.h>

#include "web/url.h"

using namespace tolvar::web;

namespace {

TEST(Url, HostPathAndPortOfAnOrdinaryAddress) {
    const char *address = "http://WWW.Example.COM:81/x?y=1";
    EXPECT_EQ("www.example.com", url_host(address));
    EXPECT_EQ("/x?y=1", url_path(address));
    EXPECT_EQ(81, url_port(address));
}

TEST(Url, AddressWithoutPathOrPort) {
    EXPECT_EQ("/", url_path("http://example.com"));
    EXPECT_EQ(80, url_port("http://example.com"));
    EXPECT_EQ(8080, url_port("http://example.com:8080"));
    EXPECT_EQ("/", url_path("http://example.com:8080"));
}

TEST(Url, ASecondAddressInTheQueryIsLeftAlone) {
    const char *address = "http://a.example/go?to=http://b.example/page";
    EXPECT_EQ("a.example", url_host(address));
    EXPECT_EQ("/go?to=http://b.example/page", url_path(address));
    EXPECT_EQ(80, url_port(address));
}

TEST(Url, HttpsGivesPortZeroWhateverItNames) {
    EXPECT_EQ(0, url_port("https://secure.example/x"));
    EXPECT_EQ(0, url_port("https://secure.example:8443/x"));
    EXPECT_EQ("secure.example", url_host("https://secure.example:8443/x"));
    EXPECT_EQ("/x", url_path("https://secure.example:8443/x"));
}

TEST(Url, ColonWithoutNumberAndOtherOddPorts) {
    EXPECT_EQ(0, url_port("http://example.com:/x"));
    EXPECT_EQ(0, url_port("http://example.com:abc/x"));
    EXPECT_EQ(81, url_port("http://example.com:81abc/x"));
}

TEST(Url, UserInformationAndAQueryWithoutSlashStayInTheHost) {
    EXPECT_EQ("user@example.com", url_host("http://user@example.com/x"));
    EXPECT_EQ("example.com?q=1", url_host("http://example.com?q=1"));
    EXPECT_EQ("/", url_path("http://example.com?q=1"));
    // The port text of "user:pw@host" is everything after the first ":".
    EXPECT_EQ(0, url_port("http://user:pw@example.com/x"));
}

TEST(Url, EverySchemePrefixIsRemovedFromTheHost) {
    EXPECT_EQ("ab.example", url_host("http://ahttp://b.example/x"));
    EXPECT_EQ("/", url_path("http://x.example"));
    // The path search ignores letter case when it looks for the host.
    EXPECT_EQ("/p", url_path("http://Host.Example/p"));
}

}  // namespace
