// A member's way through pages ③ and ④ against a fake service that knows its
// members by their session cookie: page ④ before a login, the login, a
// refresh of the friends, a message from the button and one from the friend
// menu, and page ④ with the login number.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>

#include "tests/service/fake_service.h"
#include "tests/service/friend_pages.h"
#include "web/web_access.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

const FriendRows kFriends = {{"000777", "13911112222"}, {"123456", "13800001111"}, {"222222", "15000000003"}};

bool has_session(const HttpRequest &r) { return r.head.find("\r\nCookie: PHPSESSID=m3mb3r") != std::string::npos; }

class FriendsEndToEnd : public FriendsFixture {
protected:
    void SetUp() override {
        FriendsFixture::SetUp();
        answer([](const HttpRequest &r, ServerConnection &c) {
            std::string line = r.request_line();
            if (line == "POST /validate.php HTTP/1.1")
                c.reply(gbk("登录成功"), "Set-Cookie: PHPSESSID=m3mb3r; path=/\r\n");
            else if (line == "GET /p.php?class=p&action=friend HTTP/1.1")
                c.reply(has_session(r) ? friend_page(kFriends) : gbk("请先登录"));
            else if (line == "POST /p.php?class= HTTP/1.1")
                c.reply(gbk(has_session(r) ? "短信发送成功" : "请先登录"));
            else
                c.reply("", "", "404 Not Found");
        });
    }
};

void type(QWidget *box, const QString &text) {
    box->setFocus();
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
    }
}

TEST_F(FriendsEndToEnd, AMemberLogsInListsFriendsSendsMessagesAndSeesTheNumberOnPageFour) {
    std::vector<std::string> boxes;
    int page_after_refusal = -1;
    std::vector<std::string> before_login, after_login;
    std::string number_on_page_four, untrimmed;
    bool call_item = false;
    run([&](QWidget *w) {
        MessageBoxes shown;
        // Page ④ before a login: the message, and back to page ②.
        show_page(w, 3);
        page_after_refusal = current_page(w);
        // A refresh before the login finds nothing and saves nothing.
        show_page(w, 2);
        click(w, "按钮18");
        before_login = items(w);

        // The login: the number typed, the login exchange (its cookie kept), the mark.
        show_page(w, 1);
        type(find(w, "编辑框2"), "13912345678");
        std::string login = "http://" + server.host() + "/validate.php";
        web::网页_访问(login, web::kMethodPost, {}, nullptr, "tel=13912345678&pass=x");
        mark_logged_in(w);

        show_page(w, 2);
        click(w, "按钮18");
        after_login = items(w);
        auto *list = find<QListWidget>(w, "列表框1");
        list->setCurrentRow(0);
        type(find(w, "编辑框5"), QString::fromUtf8("晚上见"));
        click(w, "按钮17");

        // The friend menu from a right click on the second friend.
        list->setCurrentRow(1);
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(1)).center());
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        EXPECT_TRUE(menu->isVisible());
        call_item = menu->findChild<QAction *>(QString::fromUtf8("打电话")) != nullptr;
        QAction *message = menu->findChild<QAction *>(QString::fromUtf8("发短信"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(message).center());

        show_page(w, 3);
        number_on_page_four = find<QLineEdit>(w, "编辑框7")->text().toStdString();
        show_page(w, 1);
        find<QLineEdit>(w, "编辑框2")->setText(" 139 ");
        show_page(w, 3);
        untrimmed = find<QLineEdit>(w, "编辑框7")->text().toStdString();
        boxes = shown.texts;
        forget_cookie("PHPSESSID");
    });
    EXPECT_EQ(1, page_after_refusal);
    EXPECT_TRUE(before_login.empty());
    EXPECT_EQ((std::vector<std::string>{"13911112222/777", "13800001111/123456", "15000000003/222222"}), after_login);
    EXPECT_EQ(friend_file_text(kFriends), read_file(friend_file()));
    EXPECT_TRUE(call_item);
    EXPECT_EQ((std::vector<std::string>{"你还未登录，或者注册！！", "发送成功！！！", "发送成功！！！"}), boxes);
    EXPECT_EQ("13912345678", number_on_page_four);
    EXPECT_EQ(" 139 ", untrimmed);

    std::vector<std::string> messages;
    for (const auto &r : server.requests())
        if (r.request_line() == "POST /p.php?class= HTTP/1.1") {
            EXPECT_TRUE(has_session(r));
            messages.push_back(r.body);
        }
    std::string host = server.host();
    EXPECT_EQ((std::vector<std::string>{
                  "action=sendsms&key_id=777&url=" + host + "&tel=13911112222&msg=" + gbk("晚上见"),
                  "action=sendsms&key_id=123456&url=" + host + "&tel=13800001111&msg=" + gbk("晚上见")}),
              messages);
}

}  // namespace
