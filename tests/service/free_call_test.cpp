// Free calls: the address lookup before each call, the form with the host's
// name and the address, the outcome by reply length alone; the friend call's
// login test and its selection.
#include <QListWidget>

#include "service/text_between.h"
#include "tests/service/service_fixture.h"

using namespace tolvar::test;
using tolvar::service::text_between;

namespace {

const char kPlaced[] = "呼叫成功！！正在处理！！请耐心等待5~60秒！";
const char kFailed[] = "呼叫失败！请重试！！";

TEST(TextBetween, TakesTheFirstPairAndTrimsNothing) {
    EXPECT_EQ("abc", text_between("x<h2>abc</h2>y", "<h2>", "</h2>"));
    EXPECT_EQ("", text_between("<h2></h2>", "<h2>", "</h2>"));
    EXPECT_EQ("", text_between("no markers", "<h2>", "</h2>"));
    EXPECT_EQ("first", text_between("<h2>first</h2><h2>second</h2>", "<h2>", "</h2>"));
    EXPECT_EQ("", text_between("<h2>open only", "<h2>", "</h2>"));
    EXPECT_EQ("", text_between("</h2> before <h2>", "<h2>", "</h2>"));
    EXPECT_EQ(" 1.2.3.4\r\n", text_between("<h2> 1.2.3.4\r\n</h2>", "<h2>", "</h2>"));
    EXPECT_EQ("", text_between("<H2>x</H2>", "<h2>", "</h2>"));  // letter case counts
}

TEST_F(ServiceTest, EachCallLooksUpTheAddressFirstAndIsJudgedByReplyLength) {
    service.on("/ip.php", "<html><body><h2>203.0.113.7</h2></body></html>");
    service.on("/url.php", std::vector<std::string>{std::string(100, 'x'), std::string(101, 'x'),
                                                    std::string(159, 'x'), std::string(160, 'x'), ""});
    run([&](QWidget *w) {
        show_page(w, 1);
        MessageBoxes boxes;
        type_into(w, "拨打电话", " 13912345678 ");
        for (int i = 0; i < 4; ++i) click(w, "按钮14");
        type_into(w, "拨打电话", "");
        click(w, "按钮14");
        type_into(w, "拨打电话", "A&B");
        click(w, "按钮14");
        EXPECT_EQ((std::vector<std::string>{kFailed, kPlaced, kPlaced, kFailed, kFailed, kFailed}), boxes.texts);
    });
    auto requests = service.requests();
    ASSERT_EQ(12u, requests.size());
    EXPECT_EQ(get_bytes(service.host(), "/ip.php"), requests[0].raw);
    EXPECT_EQ(post_bytes(service.host(), "/url.php",
                         "action=sendfreecall&tel=13912345678&url=" + service.host() + "&ip=203.0.113.7"),
              requests[1].raw);
    for (size_t i = 2; i < 12; i += 2) EXPECT_EQ("/ip.php", target_of(requests[i]));
    EXPECT_EQ("action=sendfreecall&tel=&url=" + service.host() + "&ip=203.0.113.7", requests[9].body);
    EXPECT_EQ("action=sendfreecall&tel=A%26B&url=" + service.host() + "&ip=203.0.113.7", requests[11].body);
}

TEST_F(ServiceTest, TheCallCarriesTheAddressTheEchoPageHoldsBetweenItsFirstMarkers) {
    service.on("/ip.php", std::vector<std::string>{"no markers", "<h2>1.1.1.1</h2><h2>2.2.2.2</h2>",
                                                   "<h2>open only", "<h2> 3.3.3.3\r\n</h2>", ""});
    run([&](QWidget *w) {
        show_page(w, 1);
        MessageBoxes boxes;
        type_into(w, "拨打电话", "1");
        for (int i = 0; i < 5; ++i) click(w, "按钮14");
        EXPECT_EQ(5u, boxes.texts.size());
    });
    std::vector<std::string> ips;
    for (const auto &r : service.requests())
        if (target_of(r) == "/url.php") ips.push_back(r.body.substr(r.body.find("&ip=") + 4));
    EXPECT_EQ((std::vector<std::string>{"", "1.1.1.1", "", "3.3.3.3", ""}), ips);
}

TEST_F(ServiceTest, FriendCallNeedsTheLoginMarkAndCallsTheSelectedFriend) {
    service.on("/url.php", std::string(120, 'x'));
    run([&](QWidget *w) {
        show_page(w, 2);
        auto *list = find<QListWidget>(w, "列表框1");
        list->addItems({"13900000001", "13900000002"});
        list->setCurrentRow(1);
        MessageBoxes boxes;
        choose(w, "打电话");
        EXPECT_TRUE(service.requests().empty());
        find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！ "));  // not the mark itself
        choose(w, "打电话");
        EXPECT_TRUE(service.requests().empty());
        EXPECT_EQ("点击好友列表。。。。", text_of(w, "编辑框6"));

        find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！"));
        choose(w, "打电话");
        EXPECT_EQ("13900000002", text_of(w, "编辑框6"));
        list->setCurrentRow(-1);
        choose(w, "打电话");
        EXPECT_EQ("", text_of(w, "编辑框6"));
        EXPECT_EQ((std::vector<std::string>{"你还未登录，或者未注册！！", "你还未登录，或者未注册！！", kPlaced, kPlaced}),
                  boxes.texts);
    });
    std::vector<std::string> bodies;
    for (const auto &r : service.requests())
        if (target_of(r) == "/url.php") bodies.push_back(r.body.substr(0, r.body.find("&url=")));
    EXPECT_EQ((std::vector<std::string>{"action=sendfreecall&tel=13900000002", "action=sendfreecall&tel="}), bodies);
}

}  // namespace
