// Short messages against a fake service on loopback: the remaining-bytes
// counter, the three refusals in their order, and the exact request for
// Chinese text, form separators and line breaks, from the button and from the
// friend menu.
#include <QAction>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "tests/service/fake_service.h"
#include "tests/service/friend_pages.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string kAccept =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";

// Typing into a box, one key event per character (Chinese ones, and those
// outside the basic plane, included); "\n" is the Return key.
void type(QWidget *box, const QString &text) {
    box->setFocus();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            QTest::keyClick(box, Qt::Key_Return);
            continue;
        }
        QString c = text.mid(i, text[i].isHighSurrogate() ? 2 : 1);
        i += c.size() - 1;
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, c);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, c);
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
    }
}

// Pastes `text` into the focused box as the user would, with Ctrl+V.
void paste(QWidget *box, const QString &text) {
    QApplication::clipboard()->setText(text);
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}

class ShortMessages : public FriendsFixture {
protected:
    void SetUp() override {
        FriendsFixture::SetUp();
        answer([this](const HttpRequest &r, ServerConnection &c) {
            if (r.request_line().rfind("GET", 0) == 0) c.reply(friend_page(friends));
            else c.reply(sms_reply);
        });
    }

    // The friends listed by a refresh on page ③.
    void list_friends(QWidget *w) {
        show_page(w, 2);
        click(w, "按钮18");
    }

    std::vector<HttpRequest> messages_sent() {
        std::vector<HttpRequest> out;
        for (auto &r : server.requests())
            if (r.request_line().rfind("POST", 0) == 0) out.push_back(r);
        return out;
    }

    std::string request_for(const std::string &form) {
        std::string referer = "Referer: http://" + server.host() + "/p.php?class=\r\n";
        return "POST /p.php?class= HTTP/1.1\r\nHost: " + server.host() + "\r\nUser-Agent: " + kAgent + "\r\n" +
               kAccept + referer +
               "Accept-Language: zh-cn\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
               std::to_string(form.size()) + "\r\n\r\n" + form;
    }

    std::string form_for(const std::string &id, const std::string &number, const std::string &message) {
        return "action=sendsms&key_id=" + id + "&url=" + server.host() + "&tel=" + number + "&msg=" + message;
    }

    // Sends `message` typed into 编辑框5 to friend `row` with 按钮17, logged in.
    std::vector<std::string> send(const QString &message, int row = 0) {
        std::vector<std::string> boxes;
        run([&](QWidget *w) {
            mark_logged_in(w);
            list_friends(w);
            find<QListWidget>(w, "列表框1")->setCurrentRow(row);
            type(find(w, "编辑框5"), message);
            MessageBoxes shown;
            click(w, "按钮17");
            boxes = shown.texts;
            chosen = find<QLineEdit>(w, "编辑框6")->text().toStdString();
        });
        return boxes;
    }

    FriendRows friends = {{"000123", "13912345678"}, {"654321", "13800001111"}};
    std::string sms_reply = gbk("<html><p>短信已成功发出</p></html>");  // "成功" anywhere counts
    std::string chosen;  // 编辑框6 after the send
};

TEST_F(ShortMessages, TheCounterCountsGbkBytesLeftOfSixty) {
    std::vector<std::string> shown;
    run([&](QWidget *w) {
        show_page(w, 2);
        auto *box = find<QPlainTextEdit>(w, "编辑框5");
        EXPECT_EQ("限60个字符！！！", text_of(w, "标签15"));
        type(box, QString::fromUtf8("你好世界"));
        shown.push_back(text_of(w, "标签15"));
        box->setPlainText("");
        shown.push_back(text_of(w, "标签15"));
        type(box, QString(30, QChar(0x4E2D)) + "a");  // 30 Chinese characters and a letter: 61 bytes
        shown.push_back(text_of(w, "标签15"));
        box->setPlainText("a\nb");  // a line break counts as CR LF
        shown.push_back(text_of(w, "标签15"));
    });
    EXPECT_EQ((std::vector<std::string>{"还可以输入52个字符！！！", "还可以输入60个字符！！！",
                                        "还可以输入-1个字符！！！", "还可以输入56个字符！！！"}),
              shown);
}

TEST_F(ShortMessages, CharactersGbkCannotHoldAreRefusedSoTheCounterCountsWhatIsSent) {
    std::vector<std::string> counters;
    std::string kept;
    run([&](QWidget *w) {
        mark_logged_in(w);
        list_friends(w);
        find<QListWidget>(w, "列表框1")->setCurrentRow(0);
        auto *box = find<QPlainTextEdit>(w, "编辑框5");
        type(box, QString::fromUtf8("好😀𠮷€"));  // the emoji and the character outside the basic plane are refused
        counters.push_back(text_of(w, "标签15"));
        paste(box, QString::fromUtf8("A😀B"));  // refused whole
        counters.push_back(text_of(w, "标签15"));
        paste(box, "AB");
        counters.push_back(text_of(w, "标签15"));
        kept = box->toPlainText().toStdString();
        MessageBoxes shown;
        click(w, "按钮17");
    });
    EXPECT_EQ("好€AB", kept);
    EXPECT_EQ((std::vector<std::string>{"还可以输入57个字符！！！", "还可以输入57个字符！！！", "还可以输入55个字符！！！"}),
              counters);
    auto sent = messages_sent();
    ASSERT_EQ(1u, sent.size());
    std::string message = gbk("好€AB");
    EXPECT_EQ(5u, message.size());  // 60 - 55: what the counter counted
    EXPECT_EQ(request_for(form_for("123", "13912345678", message)), sent[0].raw);
}

TEST_F(ShortMessages, TheThreeChecksRefuseInTheirOrderAndSendNothing) {
    std::vector<std::vector<std::string>> refusals;
    run([&](QWidget *w) {
        auto attempt = [&] {
            MessageBoxes shown;
            click(w, "按钮17");
            refusals.push_back(shown.texts);
        };
        attempt();  // nothing at all
        list_friends(w);
        find<QListWidget>(w, "列表框1")->setCurrentRow(1);
        type(find(w, "编辑框5"), "hello");
        attempt();  // all but the login: the login comes first
        mark_logged_in(w);
        find<QListWidget>(w, "列表框1")->setCurrentRow(-1);
        attempt();  // logged in, a message, no friend chosen
        find<QPlainTextEdit>(w, "编辑框5")->setPlainText("");
        attempt();  // logged in, nothing chosen, nothing written: the choice comes first
        find<QListWidget>(w, "列表框1")->setCurrentRow(1);
        attempt();  // logged in, a friend chosen, nothing written
        EXPECT_EQ("点击好友列表。。。。", find<QLineEdit>(w, "编辑框6")->text().toStdString());
    });
    const std::string login = "你还未登录，或者未注册！！", choose = "请选择，给哪个朋友发哦！！",
                      write = "你还没有写内容哦！！！！";
    EXPECT_EQ((std::vector<std::vector<std::string>>{{login}, {login}, {choose}, {choose}, {write}}), refusals);
    EXPECT_TRUE(messages_sent().empty());
}

TEST_F(ShortMessages, AChineseMessageGoesAsItsGbkBytesWithTheIdWithoutLeadingZeros) {
    EXPECT_EQ(std::vector<std::string>{"发送成功！！！"}, send(QString::fromUtf8("你好，世界")));
    EXPECT_EQ("13912345678", chosen);
    auto sent = messages_sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(request_for(form_for("123", "13912345678", gbk("你好，世界"))), sent[0].raw);
}

TEST_F(ShortMessages, FormSeparatorsInTheMessageArriveWholeAndLineBreaksAsTyped) {
    send("A&B=C%+", 1);
    send(QString::fromUtf8("第一行\n第二行"), 1);
    auto sent = messages_sent();
    ASSERT_EQ(2u, sent.size());
    EXPECT_EQ(request_for(form_for("654321", "13800001111", "A%26B%3DC%25%2B")), sent[0].raw);
    EXPECT_EQ(request_for(form_for("654321", "13800001111", gbk("第一行") + "\r\n" + gbk("第二行"))), sent[1].raw);
}

TEST_F(ShortMessages, AReplyWithoutSuccessShowsNothing) {
    sms_reply = gbk("<html>发送失败</html>");
    EXPECT_TRUE(send("hi").empty());
    sms_reply = "";
    EXPECT_TRUE(send("hi").empty());
    EXPECT_EQ(2u, messages_sent().size());
}

TEST_F(ShortMessages, TheFriendMenuSendsAsTheButtonDoes) {
    std::vector<std::string> boxes;
    run([&](QWidget *w) {
        mark_logged_in(w);
        list_friends(w);
        find<QListWidget>(w, "列表框1")->setCurrentRow(1);
        type(find(w, "编辑框5"), "menu");
        MessageBoxes shown;
        w->findChild<QAction *>(QString::fromUtf8("发短信"))->trigger();
        boxes = shown.texts;
    });
    EXPECT_EQ(std::vector<std::string>{"发送成功！！！"}, boxes);
    auto sent = messages_sent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(request_for(form_for("654321", "13800001111", "menu")), sent[0].raw);
}

}  // namespace
