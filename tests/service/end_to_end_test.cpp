// The whole client on the real kernel against a fake service that keeps a
// session: register, log in with the captcha, call from the dial pad, see the
// minutes and claim the allowance, with mouse and keyboard. And a service that
// hangs: the watchdog warns while the request runs, the window stays usable.
#include <QElapsedTimer>
#include <QTest>
#include <atomic>

#include "tests/service/service_fixture.h"
#include "tests/support/pictures.h"

using namespace tolvar::test;

namespace {

bool has(const std::string &text, const std::string &what) { return text.find(what) != std::string::npos; }

// A service that rings, registers, logs in by the captcha's cookie and keeps minutes.
class SessionService {
public:
    explicit SessionService(FakeService &service) {
        service.on("/ip.php", "<html><h2>127.0.0.1</h2></html>");
        service.on("/url.php?class=check", "rang");
        service.on("/verifycode.php", [](const HttpRequest &, ServerConnection &c) {
            c.reply(picture_file("PNG", {58, 28}, Qt::darkCyan), "Set-Cookie: sid=s1; path=/\r\n");
        });
        service.on("/validate.php", [](const HttpRequest &r, ServerConnection &c) {
            bool ok = has(r.head, "Cookie: sid=s1") && has(r.body, "MemberCode=13912345678&") && has(r.body, "ValidCode=8K3P&");
            c.reply(ok ? "<script>location.href='p.php';</script>" : "<p>wrong code</p>");
        });
        service.on("/url.php", [](const HttpRequest &r, ServerConnection &c) {
            bool member = has(r.head, "Cookie: sid=s1");
            if (has(r.body, "action=one") && has(r.body, "MemberMobile=13912345678&VerifyCode=1234"))
                c.reply("6");
            else if (has(r.body, "action=sendfreecall") && member)
                c.reply("<html><body>call placed: " + std::string(90, '.') + "</body></html>");
            else if (has(r.body, "action=balance"))
                c.reply(member ? "15" : gbk("没有登陆"));
            else
                c.reply("");
        });
        service.on("/p.php", "<a href=\"#\" onclick=\"claim('p.php?class=giving&hash=h42',0)\">领取</a>");
        service.on("/p.php?class=giving&hash=h42", [this](const HttpRequest &, ServerConnection &c) {
            c.reply(claims_++ == 0 ? "ok" : gbk("本周已经领过了"));
        });
    }

private:
    std::atomic<int> claims_{0};
};

// A click into a box, as after a message box: the window becomes active again
// first (on the offscreen platform a click does not activate it).
void click_into(QWidget *w, const char *box) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::mouseClick(find(w, box), Qt::LeftButton);
}
void press(QWidget *w, const char *button) { QTest::mouseClick(find(w, button), Qt::LeftButton); }

TEST_F(ServiceTest, RegisterLogInCallAndClaimWithMouseAndKeyboard) {
    SessionService session(service);
    run([&](QWidget *w) {
        set_referrer_number("13800000000");
        MessageBoxes boxes;
        click_into(w, "编辑框3");  // the hint goes
        QTest::keyClicks(find(w, "编辑框3"), "13912345678");
        press(w, "按钮16");
        click_into(w, "编辑框4");
        QTest::keyClicks(find(w, "编辑框4"), "1234");
        press(w, "按钮15");
        EXPECT_EQ(1, current_page(w));

        click_into(w, "编辑框2");
        QTest::keyClicks(find(w, "编辑框2"), "13912345678");
        click_into(w, "编辑框1");  // fetches and shows the captcha
        EXPECT_EQ(QSize(58, 28), find<QLabel>(w, "图片框1")->pixmap().size());
        QTest::keyClicks(find(w, "编辑框1"), "8K3P");
        press(w, "按钮1");
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));
        EXPECT_EQ("用户号码：13912345678", text_of(w, "标签5"));

        for (const char *digit : {"按钮3", "按钮5", "按钮11", "按钮13", "按钮13"}) press(w, digit);
        press(w, "按钮14");
        press(w, "按钮2");
        EXPECT_EQ("免费通话时间还剩： 15分钟", text_of(w, "标签6"));
        choose(w, "领取15分钟");
        EXPECT_EQ((std::vector<std::string>{"请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！",
                                            "注册成功！！！", "呼叫成功！！正在处理！！请耐心等待5~60秒！",
                                            "对不起！这周已经领取了！！！"}),
                  boxes.texts);
    });
    EXPECT_EQ((std::vector<std::string>{"/url.php?class=check", "/url.php", "/verifycode.php", "/validate.php", "/ip.php",
                                        "/url.php", "/ip.php", "/url.php", "/p.php", "/p.php?class=giving&hash=h42",
                                        "/p.php", "/p.php?class=giving&hash=h42"}),
              service.targets());
    auto requests = service.requests();
    ASSERT_EQ(12u, requests.size());
    EXPECT_EQ("action=taste&tel=13800000000&MemberMobile=13912345678", requests[0].body);
    EXPECT_EQ("action=sendfreecall&tel=13900&url=" + service.host() + "&ip=127.0.0.1", requests[5].body);
}

TEST_F(ServiceTest, AHangingServiceGetsTheWarningWhileTheRequestRunsAndTheWindowStaysUsable) {
    setenv("WININET_RECEIVE_TIMEOUT", "11000", 1);
    std::atomic<bool> hanging{false}, release{false};
    service.on("/url.php?class=check", [&](const HttpRequest &, ServerConnection &) {
        hanging = true;
        for (int i = 0; i < 1500 && !release.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        hanging = false;
    });
    service.on("/ip.php", "<h2>127.0.0.1</h2>");
    service.on("/url.php", std::string(120, 'x'));
    struct Seen {
        std::string text;
        qint64 at_ms;
        bool request_hanging;
        Qt::CursorShape cursor;
    };
    std::vector<Seen> seen;
    bool busy_cursor_while_hanging = false;
    int paints = 0;
    std::string dialled;
    run([&](QWidget *w) {
        set_referrer_number("13800000000");
        QElapsedTimer clock;
        MessageBoxes boxes;
        boxes.on_box = [&](QMessageBox *box) {
            auto *cursor = QApplication::overrideCursor();
            seen.push_back({box->text().toStdString(), clock.elapsed(), hanging.load(),
                            cursor ? cursor->shape() : Qt::ArrowCursor});
        };
        QTimer::singleShot(2000, [&] {
            // Inside the hanging request: the window repaints and takes clicks,
            // and a second exchange runs to its end.
            busy_cursor_while_hanging = QApplication::overrideCursor() &&
                                        QApplication::overrideCursor()->shape() == Qt::BusyCursor && hanging;
            show_page(w, 1);
            QWidget *number = find(w, "拨打电话");
            struct PaintCounter : QObject {
                int &count;
                explicit PaintCounter(int &c) : count(c) {}
                bool eventFilter(QObject *, QEvent *e) override {
                    if (e->type() == QEvent::Paint) ++count;
                    return false;
                }
            } counter(paints);
            number->installEventFilter(&counter);
            press(w, "按钮3");
            QTest::qWait(100);
            number->removeEventFilter(&counter);
            dialled = text_of(w, "拨打电话");
            press(w, "按钮14");
        });
        clock.start();
        click(w, "按钮16");
        EXPECT_FALSE(watchdog(w)->isActive());
        EXPECT_EQ(nullptr, QApplication::overrideCursor());
    });
    release.store(true);
    unsetenv("WININET_RECEIVE_TIMEOUT");
    EXPECT_TRUE(busy_cursor_while_hanging);
    EXPECT_GT(paints, 0);
    EXPECT_EQ("1", dialled);
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ("呼叫成功！！正在处理！！请耐心等待5~60秒！", seen[0].text);
    EXPECT_TRUE(seen[0].request_hanging);
    EXPECT_EQ("请检查你的网络是否正常！！！！", seen[1].text);
    EXPECT_GE(seen[1].at_ms, 9990);
    EXPECT_TRUE(seen[1].request_hanging);  // shown while the request runs
    EXPECT_EQ(Qt::ArrowCursor, seen[1].cursor);
    EXPECT_EQ("请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！", seen[2].text);
    EXPECT_TRUE(seen[2].request_hanging);  // the request was given up by its time-out, not answered
}

}  // namespace
