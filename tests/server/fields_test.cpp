// The small pieces the endpoints rest on: form fields, cookies, calendar
// weeks, GBK, options.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "server/form.h"
#include "server/gbk.h"
#include "server/options.h"
#include "server/service_time.h"
#include "tests/server/service_harness.h"

using namespace tolvar::server;

TEST(ServiceFields, OnlyPercentEscapesAreDecodedAndGbkBytesPassUntouched) {
    auto fields = parse_fields("msg=A%26B%25%2b%3D+c&tel=1&flag&&empty=&msg=second&gbk=\xc4\xe3\xba\xc3");
    ASSERT_TRUE(fields);
    EXPECT_EQ("A&B%+=+c", *field(*fields, "msg"));  // the first of two
    EXPECT_EQ("", *field(*fields, "flag"));
    EXPECT_EQ("", *field(*fields, "empty"));
    EXPECT_EQ("\xc4\xe3\xba\xc3", *field(*fields, "gbk"));
    EXPECT_EQ(nullptr, field(*fields, "missing"));
    for (const char *broken : {"a=%", "a=%4", "a=%zz", "a%=1", "a=1&b=%G0"}) EXPECT_FALSE(parse_fields(broken)) << broken;
}

TEST(ServiceFields, TheSessionCookieIsFoundAmongOthers) {
    EXPECT_EQ("abc", cookie_value("x=1; sid=abc; y=2", "sid"));
    EXPECT_EQ("abc", cookie_value("sid=abc", "sid"));
    EXPECT_EQ("", cookie_value("xsid=abc; sidx=1", "sid"));
}

TEST(ServiceFields, CalendarWeeksTurnOnMondayAtMidnightLocalTime) {
    const char *old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    const int64_t monday = 1750608000;  // 2025-06-23 00:00 in Shanghai
    EXPECT_EQ(calendar_week(monday - 1) + 1, calendar_week(monday));
    EXPECT_EQ(calendar_week(monday), calendar_week(monday + 7 * 86400 - 1));
    EXPECT_EQ(calendar_week(monday) + 1, calendar_week(monday + 7 * 86400));
    if (old) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
}

TEST(ServiceFields, GbkConversionUsesTheWindowsTable) {
    EXPECT_EQ("\xb3\xc9\xb9\xa6", gbk_from_utf8("成功"));
    EXPECT_EQ("\xa1\xaa", gbk_from_utf8("—"));  // where code page 936 puts the dash
    EXPECT_EQ("没有登陆", utf8_from_gbk("\xc3\xbb\xd3\xd0\xb5\xc7\xc2\xbd"));
}

TEST(ServiceFields, OptionsDefaultToLoopbackAndTheUsersDataFolder) {
    setenv("XDG_DATA_HOME", "/data", 1);
    ParsedOptions defaults = parse_options({});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ("127.0.0.1", defaults.options->listen.host);
    EXPECT_EQ(8086, defaults.options->listen.port);
    EXPECT_EQ("/data/tolvar-service/tolvar.db", defaults.options->database_path);
    EXPECT_EQ("/home/u/.local/share/tolvar-service/tolvar.db", default_database_path(nullptr, "/home/u"));
    EXPECT_EQ("/home/u/.local/share/tolvar-service/tolvar.db", default_database_path("relative", "/home/u"));

    ParsedOptions given = parse_options({"--listen", "[::1]:9000", "--db", "x.db", "--verbose", "members"});
    ASSERT_TRUE(given.options);
    EXPECT_EQ("::1", given.options->listen.host);
    EXPECT_EQ(9000, given.options->listen.port);
    EXPECT_EQ("x.db", given.options->database_path);
    EXPECT_TRUE(given.options->settings.verbose);
    EXPECT_EQ(std::vector<std::string>{"members"}, given.options->command);
    for (const char *bad : {"8086", "host:", ":80", "host:65536", "host:8o", "a:b:c:d"})
        EXPECT_FALSE(parse_options({"--listen", bad}).options) << bad;
    EXPECT_FALSE(parse_options({"--db"}).options);
    EXPECT_FALSE(parse_options({"--bogus"}).options);
}
