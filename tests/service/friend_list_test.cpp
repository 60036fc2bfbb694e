// The friend list against a fake service on loopback: the page read of the
// internet support library (exact request, cookies, a responsive window), the
// scan of the friend page, and the list, count and friend file it gives.
#include <QPlainTextEdit>

#include "runtime/internet.h"
#include "runtime/runtime.h"
#include "tests/service/fake_service.h"
#include "tests/service/friend_pages.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string kFriendPath = "/p.php?class=p&action=friend";

std::string take_bytes(const runtime::ByteSet &byte_set) { return std::string(runtime::bytes_view(byte_set)); }

using FriendList = FriendsFixture;

TEST_F(FriendList, PagesOfNoneOneAndThreeFriendsAreCountedListedInOrderAndSaved) {
    const FriendRows three = {{"654321", "13911112222"}, {"100001", "13800001111"}, {"222222", "15000000003"}};
    for (const FriendRows &rows : {FriendRows{}, FriendRows{three[0]}, three}) {
        std::filesystem::remove(friend_file());
        answer_with(friend_page(rows));
        std::vector<std::string> listed;
        std::string count;
        run([&](QWidget *w) {
            show_page(w, 2);
            click(w, "按钮18");
            listed = items(w);
            count = text_of(w, "标签19");
            EXPECT_EQ("", find<QPlainTextEdit>(w, "好友")->toPlainText().toStdString());
        });
        EXPECT_EQ("一共有" + std::to_string(rows.size()) + "位好友", count);
        std::vector<std::string> expected;
        for (const auto &[id, number] : rows) expected.push_back(number + "/" + std::to_string(std::stoi(id)));
        EXPECT_EQ(expected, listed);
        if (rows.empty()) EXPECT_FALSE(std::filesystem::exists(friend_file()));
        else EXPECT_EQ(friend_file_text(rows), read_file(friend_file()));
    }
}

TEST_F(FriendList, LongerDigitRunsMatchOnTheirInnerDigitsAndLeadingZerosLeaveTheValue) {
    answer_with("x1234567','139876543210y 000042','13700000000 12345','13700000001 123456','1370000000");
    std::vector<std::string> listed;
    run([&](QWidget *w) {
        show_page(w, 2);
        click(w, "按钮18");
        listed = items(w);
    });
    // Seven digits before "','": the last six; twelve after it: the first eleven.
    EXPECT_EQ((std::vector<std::string>{"13987654321/234567", "13700000000/42"}), listed);
    // The file keeps the id as the page wrote it.
    EXPECT_EQ("13987654321,234567\r\n13700000000,000042\r\n", read_file(friend_file()));
}

TEST_F(FriendList, ThePageIsAPlainGetCarryingTheLoginCookies) {
    answer([](const HttpRequest &r, ServerConnection &c) {
        if (r.request_line().find("/validate.php") != std::string::npos)
            c.reply("ok", "Set-Cookie: PHPSESSID=s3ss10n; path=/\r\n");
        else
            c.reply(friend_page({{"123456", "13912345678"}}));
    });
    std::vector<std::string> listed;
    run([&](QWidget *w) {
        std::string login = "http://" + server.host() + "/validate.php";
        web::网页_访问(login, web::kMethodPost, {}, nullptr, "tel=13900000000");
        show_page(w, 2);
        click(w, "按钮18");
        listed = items(w);
        forget_cookie("PHPSESSID");
    });
    EXPECT_EQ(std::vector<std::string>{"13912345678/123456"}, listed);
    auto requests = server.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET " + kFriendPath + " HTTP/1.1\r\nHost: " + server.host() + "\r\nUser-Agent: " + kAgent +
                  "\r\nCookie: PHPSESSID=s3ss10n\r\n\r\n",
              requests[1].raw);
}

TEST_F(FriendList, TheWindowKeepsRunningWhileASlowPageComesIn) {
    const std::string page = friend_page(numbered_friends(50));
    answer([&](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n");
        for (size_t at = 0; at < page.size(); at += page.size() / 10 + 1) {
            c.pause(40);
            c.send(page.substr(at, page.size() / 10 + 1));
        }
    });
    write_file(friend_file(), "13000000000,999999\r\n");
    int ticks = 0;
    std::vector<std::string> listed;
    run([&](QWidget *w) {
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(20);
        // The member leaves page ③ and comes back while the page comes in.
        QTimer::singleShot(100, [w] { show_page(w, 1); });
        QTimer::singleShot(200, [w] { show_page(w, 2); });
        show_page(w, 2);
        click(w, "按钮18");
        timer.stop();
        listed = items(w);
    });
    EXPECT_GE(ticks, 5);  // the reply took about 400 ms
    // Only the page's entries, not the file's listed on the way.
    ASSERT_EQ(50u, listed.size());
    EXPECT_EQ("13900000000/100000", listed[0]);
}

TEST_F(FriendList, ThePageReadTakesAddressesWithAndWithoutTheSchemeAndRefusesOthers) {
    answer_with("page");
    std::map<std::string, std::string> read;
    run([&](QWidget *) {
        for (const std::string &address : std::vector<std::string>{
                 "http://" + server.host() + "/a", "  HTTP://" + server.host() + "/b?c=1  ", server.host() + "?d",
                 "ftp://" + server.host() + "/e", "http:///f", "http://127.0.0.1:99999/g", "http://127.0.0.1:x/h", ""})
            read[address] = take_bytes(runtime::read_web_page(address.c_str()));
    });
    EXPECT_EQ("page", read["http://" + server.host() + "/a"]);
    EXPECT_EQ("page", read["  HTTP://" + server.host() + "/b?c=1  "]);
    EXPECT_EQ("page", read[server.host() + "?d"]);
    EXPECT_EQ("", read["ftp://" + server.host() + "/e"]);
    EXPECT_EQ("", read["http:///f"]);
    EXPECT_EQ("", read["http://127.0.0.1:99999/g"]);
    EXPECT_EQ("", read["http://127.0.0.1:x/h"]);
    auto requests = server.requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("GET /a HTTP/1.1", requests[0].request_line());
    EXPECT_EQ("GET /b?c=1 HTTP/1.1", requests[1].request_line());
    EXPECT_EQ("GET /?d HTTP/1.1", requests[2].request_line());
}

TEST_F(FriendList, ABrokenOffOrUnreachablePageReadsAsNothing) {
    answer([](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + friend_page({{"123456", "13912345678"}}));
    });
    std::string broken, unreachable;
    run([&](QWidget *) {
        broken = take_bytes(runtime::read_web_page(("http://" + server.host() + "/").c_str()));
        unreachable = take_bytes(runtime::read_web_page("http://127.0.0.1:1/"));
    });
    EXPECT_EQ("", broken);
    EXPECT_EQ("", unreachable);
}

}  // namespace
