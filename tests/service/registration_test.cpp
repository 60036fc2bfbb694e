// Registration by voice code: the two requests byte for byte, the wait
// message whatever the reply, the watchdog's run, the exact confirm reply.
#include <QTest>

#include "tests/service/service_fixture.h"

using namespace tolvar::test;

namespace {

const char kWait[] = "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！";

TEST_F(ServiceTest, VoiceCodeRequestRunsTheWatchdogFromBeforeTheRequestUntilTheWaitMessageIsClosed) {
    service.on("/url.php?class=check", [](const HttpRequest &, ServerConnection &c) {
        c.pause(300);
        c.reply("whatever the service says");
    });
    bool active_during_request = false, active_during_message = false;
    int interval_during_request = 0;
    Qt::CursorShape cursor_during_request = Qt::ArrowCursor;
    bool normal_cursor_over_message = false;
    run([&](QWidget *w) {
        set_referrer_number("13800000000");
        type_into(w, "编辑框3", "  13912345678 ");
        MessageBoxes boxes;
        boxes.on_box = [&](QMessageBox *) {
            active_during_message = watchdog(w)->isActive();
            normal_cursor_over_message = QApplication::overrideCursor() == nullptr;
        };
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            if (service.requests().size() != 1 || !boxes.texts.empty()) return;
            active_during_request = watchdog(w)->isActive();
            interval_during_request = watchdog(w)->interval();
            if (QApplication::overrideCursor()) cursor_during_request = QApplication::overrideCursor()->shape();
        });
        probe.start(20);
        click(w, "按钮16");
        EXPECT_EQ(std::vector<std::string>{kWait}, boxes.texts);
        EXPECT_FALSE(watchdog(w)->isActive());
        EXPECT_EQ(nullptr, QApplication::overrideCursor());
    });
    EXPECT_TRUE(active_during_request);
    EXPECT_EQ(10000, interval_during_request);
    EXPECT_EQ(Qt::BusyCursor, cursor_during_request);
    EXPECT_TRUE(active_during_message);
    EXPECT_TRUE(normal_cursor_over_message);
    ASSERT_EQ(1u, service.requests().size());
    EXPECT_EQ(post_bytes(service.host(), "/url.php?class=check", "action=taste&tel=13800000000&MemberMobile=13912345678"),
              service.requests()[0].raw);
}

TEST_F(ServiceTest, VoiceCodeRequestSendsTheHintTextAndUserBytesMadeSafe) {
    service.on("/url.php?class=check", "");
    std::vector<std::string> texts;
    run([&](QWidget *w) {
        MessageBoxes boxes;
        set_referrer_number("138+00");
        click(w, "按钮16");  // the box never had the focus: its hint is the number
        type_into(w, "编辑框3", "A&B=1+%");
        click(w, "按钮16");
        texts = boxes.texts;
    });
    EXPECT_EQ((std::vector<std::string>{kWait, kWait}), texts);
    auto requests = service.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("action=taste&tel=138%2B00&MemberMobile=" + gbk("填写手机号码"), requests[0].body);
    EXPECT_EQ("action=taste&tel=138%2B00&MemberMobile=A%26B%3D1%2B%25", requests[1].body);
}

TEST_F(ServiceTest, WatchdogShowsItsWarningOnceAndStops) {
    run([&](QWidget *w) {
        MessageBoxes boxes;
        bool stopped_while_shown = false;
        boxes.on_box = [&](QMessageBox *) {
            stopped_while_shown = !watchdog(w)->isActive();
            QTest::qWait(120);  // longer than the timer's interval: no second warning comes
        };
        watchdog(w)->start(30);  // as if ten seconds had passed
        QTest::qWait(300);
        EXPECT_EQ(std::vector<std::string>{"请检查你的网络是否正常！！！！"}, boxes.texts);
        EXPECT_TRUE(stopped_while_shown);
        EXPECT_FALSE(watchdog(w)->isActive());
    });
}

TEST_F(ServiceTest, ConfirmSucceedsOnTheReplySixAloneAndThenShowsTheLoginPage) {
    service.on("/url.php", std::vector<std::string>{"6", "6\r\n", "<html>6</html>", " 6", ""});
    const std::string ok = "注册成功！！！", wrong = "语音验证码错误，或者手机号码错误！！";
    run([&](QWidget *w) {
        set_referrer_number("13800000000");
        type_into(w, "编辑框3", " 13912345678  ");
        type_into(w, "编辑框4", "  4321 ");
        MessageBoxes boxes;
        int page_during_message = -1;
        boxes.on_box = [&](QMessageBox *) { page_during_message = current_page(w); };
        click(w, "按钮15");
        EXPECT_EQ(0, page_during_message);  // the page changes after the message
        EXPECT_EQ(1, current_page(w));
        for (int i = 0; i < 4; ++i) {
            show_page(w, 0);
            click(w, "按钮15");
            EXPECT_EQ(0, current_page(w));
        }
        EXPECT_EQ((std::vector<std::string>{ok, wrong, wrong, wrong, wrong}), boxes.texts);
        EXPECT_EQ(" 13912345678  ", text_of(w, "编辑框3"));  // the boxes keep their contents
    });
    auto requests = service.requests();
    ASSERT_EQ(5u, requests.size());
    EXPECT_EQ(post_bytes(service.host(), "/url.php",
                         "class=check&action=one&tel=13800000000&MemberMobile=13912345678&VerifyCode=4321"),
              requests[0].raw);
}

}  // namespace
