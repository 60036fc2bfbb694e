// The whole system on one machine: the real tolvar-service on a free loopback
// port with a fresh database, and the real client (kernel, stand-ins, the
// program image built for that address) on Qt's offscreen platform, driven by
// mouse and keyboard. A member registers with the voice code the service logs,
// logs in with the logged captcha code and makes a special edition; a friend
// registers from that edition; the member lists the friend, messages and
// calls them, reads the minutes and claims the week's allowance. A computer
// whose cookie store is emptied (as a new one's is) cannot log in with the
// member's number until it registers the number again. The service's
// database then holds exactly those records, as its admin commands list them.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QTest>

#include "tests/service/fake_service.h"
#include "tests/service/service_fixture.h"
#include "tests/system/running_service.h"

using namespace tolvar::test;

namespace {

const std::string kDefaultNumber = "13800000000";
const std::string kMember = "13912345678";  // registers first: member 100000
const std::string kFriend = "13700001111";  // registers from the member's edition: member 100001
const char kMessage[] = "晚上见 A&B 100%";  // 15 GBK bytes, with the bytes the form escapes
const char kWaitForTheCall[] = "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！";

// A click into a box as a user makes it: the window is active again first
// (after a message box; on the offscreen platform a click does not activate it).
void click_into(QWidget *w, const char *box) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    QTest::mouseClick(find(w, box), Qt::LeftButton);
}
void press(QWidget *w, const char *button) { QTest::mouseClick(find(w, button), Qt::LeftButton); }

// Typing into the focused box, one key per character (Chinese ones included).
void type(QWidget *w, const char *box, const char *utf8) {
    QWidget *target = find(w, box);
    for (QChar c : QString::fromUtf8(utf8)) {
        QKeyEvent down(QEvent::KeyPress, 0, Qt::NoModifier, QString(c)), up(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(target, &down);
        QApplication::sendEvent(target, &up);
    }
}
void clear(QWidget *w, const char *box) { find<QLineEdit>(w, box)->clear(); }

// The same code with its first digit changed: surely wrong.
std::string wrong(std::string code) {
    if (!code.empty()) code[0] = static_cast<char>('0' + (code[0] - '0' + 1) % 10);
    return code;
}

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < text.size();) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// An admin listing without its header line and without the time column at `time_column`.
std::vector<std::string> rows_without_time(const std::string &listing, size_t time_column) {
    std::vector<std::string> rows = lines_of(listing);
    if (!rows.empty()) rows.erase(rows.begin());
    for (std::string &row : rows) {
        std::vector<std::string> fields;
        for (size_t at = 0;;) {
            size_t tab = row.find('\t', at);
            fields.push_back(row.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
            if (tab == std::string::npos) break;
            at = tab + 1;
        }
        if (time_column < fields.size()) fields.erase(fields.begin() + static_cast<long>(time_column));
        row.clear();
        for (size_t i = 0; i < fields.size(); ++i) row += (i ? "\t" : "") + fields[i];
    }
    return rows;
}

class RealService : public ::testing::Test {
protected:
    ScratchDir data;            // the client's persistent cookies
    ScratchDir program_folder;  // one copy of the program, run twice
    RunningService service;

    void SetUp() override {
        ASSERT_GT(service.port(), 0) << read_file(service.log_path());
        setenv("XDG_DATA_HOME", data.path().c_str(), 1);
        setenv("WININET_RECEIVE_TIMEOUT", "3000", 1);
    }
    void TearDown() override { unsetenv("WININET_RECEIVE_TIMEOUT"); }

    std::vector<uint8_t> image() const {
        tolvar::program::ProgramSettings s = loopback_settings();
        s.service_host = service.host();
        s.echo_url = "http://" + service.host() + "/ip.php";
        s.default_number = kDefaultNumber;
        return tolvar::image::write_image(tolvar::program::build_program_image(s));
    }
    void run(const std::function<void(QWidget *)> &drive) {
        run_with_window(drive, image(), program_folder.path().string());
    }

    // Page ①: the number, the voice code the service "rings" with, the confirm.
    void register_number(QWidget *w, const std::string &number, bool first_a_wrong_code = false) {
        click_into(w, "编辑框3");
        type(w, "编辑框3", number.c_str());
        press(w, "按钮16");
        std::string code = service.wait_for_line("voice code for " + number + ": ([0-9]{6})");
        ASSERT_EQ(6u, code.size()) << service.log();
        click_into(w, "编辑框4");
        if (first_a_wrong_code) {
            type(w, "编辑框4", wrong(code).c_str());
            press(w, "按钮15");
            EXPECT_EQ(0, current_page(w));
            clear(w, "编辑框4");
        }
        type(w, "编辑框4", code.c_str());
        press(w, "按钮15");
        EXPECT_EQ(1, current_page(w));
    }

    // Page ②: the number and the code of the captcha the service drew for this session.
    void log_in(QWidget *w, const std::string &number, bool first_a_wrong_code = false) {
        for (int attempt = first_a_wrong_code ? 0 : 1; attempt < 2; ++attempt) {
            click_into(w, "编辑框2");
            type(w, "编辑框2", number.c_str());
            click_into(w, "编辑框1");  // fetches the captcha
            const QPixmap picture = find<QLabel>(w, "图片框1")->pixmap();
            EXPECT_EQ(QSize(58, 28), picture.size());
            std::string code = service.wait_for_line("captcha code: ([0-9]{4})");
            ASSERT_EQ(4u, code.size()) << service.log();
            type(w, "编辑框1", (attempt == 0 ? wrong(code) : code).c_str());
            press(w, "按钮1");
        }
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));
        EXPECT_EQ("用户号码：" + number, text_of(w, "标签5"));
    }

    // Page ②: one login with the number and the right captcha code, whatever comes of it.
    void try_log_in(QWidget *w, const std::string &number) {
        click_into(w, "编辑框2");
        type(w, "编辑框2", number.c_str());
        click_into(w, "编辑框1");
        std::string code = service.wait_for_line("captcha code: ([0-9]{4})");
        ASSERT_EQ(4u, code.size()) << service.log();
        type(w, "编辑框1", code.c_str());
        press(w, "按钮1");
    }
};

TEST_F(RealService, MembersRegisterLogInMessageCallAndClaimAndTheDatabaseHoldsExactlyThat) {
    std::vector<std::string> first_run_boxes, second_run_boxes;
    std::string first_title, edition_title, counter, friend_number, minutes_before_claim, minutes_after_claim,
        friend_count;
    std::vector<std::string> friends, third_run_boxes, third_run_friends;

    // The first run, an unbranded copy: the member registers, logs in and
    // makes the folder an edition of their own.
    run([&](QWidget *w) {
        MessageBoxes boxes;
        first_title = w->windowTitle().toStdString();
        register_number(w, kMember, true);
        log_in(w, kMember, true);
        show_page(w, 3);
        EXPECT_EQ(kMember, text_of(w, "编辑框7"));
        click_into(w, "编辑框8");
        type(w, "编辑框8", "小明");
        press(w, "按钮19");
        first_run_boxes = boxes.texts;
    });

    // The second run, the member's edition: a friend registers from it, then
    // the member logs in and uses the friend list, the dial and the minutes.
    run([&](QWidget *w) {
        MessageBoxes boxes;
        edition_title = w->windowTitle().toStdString();
        register_number(w, kFriend);
        log_in(w, kMember);

        show_page(w, 2);
        press(w, "按钮18");
        friends = items(w);
        friend_count = text_of(w, "标签19");
        auto *list = find<QListWidget>(w, "列表框1");
        list->setCurrentRow(0);
        QTest::mouseClick(find(w, "编辑框5"), Qt::LeftButton);
        type(w, "编辑框5", kMessage);
        counter = text_of(w, "标签15");
        press(w, "按钮17");

        // A call to the friend from the list's menu.
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, list->visualItemRect(list->item(0)).center());
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        ASSERT_TRUE(menu && menu->isVisible());
        QAction *call = menu->findChild<QAction *>(QString::fromUtf8("打电话"));
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(call).center());
        friend_number = text_of(w, "编辑框6");

        // The minutes: read before the allowance is claimed (silently), the
        // menu's claim refused for this week, the minutes again.
        show_page(w, 1);
        press(w, "按钮2");
        minutes_before_claim = text_of(w, "标签6");
        choose(w, "领取15分钟");
        press(w, "按钮2");
        minutes_after_claim = text_of(w, "标签6");
        second_run_boxes = boxes.texts;
        // The cookie store emptied, as a new computer's is.
        forget_cookie("sid");
        forget_cookie("device");
    });

    // The third run, on that empty cookie store: the number and the right
    // captcha are refused until the number is registered again there; the
    // member, minutes and friends stay.
    run([&](QWidget *w) {
        MessageBoxes boxes;
        try_log_in(w, kMember);
        EXPECT_NE("登录成功！！", text_of(w, "标签1"));
        register_number(w, kMember);
        log_in(w, kMember);
        show_page(w, 2);
        press(w, "按钮18");
        third_run_friends = items(w);
        third_run_boxes = boxes.texts;
        forget_cookie("sid");
        forget_cookie("device");
    });

    EXPECT_EQ("Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！", first_title);
    EXPECT_EQ("Tolvar V 1.5版 每周领取15分钟  无限发短信 ★注★：小明", edition_title);
    EXPECT_EQ((std::vector<std::string>{kWaitForTheCall, "语音验证码错误，或者手机号码错误！！", "注册成功！！！",
                                        "登录失败！请确认注册了！或者验证码输入正确！！",
                                        "专版程序！！制作完成！！请将本目录下所有程序压缩打包！发给您的好朋友！"}),
              first_run_boxes);
    EXPECT_EQ((std::vector<std::string>{kWaitForTheCall, "注册成功！！！", "发送成功！！！",
                                        "呼叫成功！！正在处理！！请耐心等待5~60秒！", "对不起！这周已经领取了！！！"}),
              second_run_boxes);
    EXPECT_EQ((std::vector<std::string>{kFriend + "/100001"}), friends);
    EXPECT_EQ((std::vector<std::string>{"登录失败！请确认注册了！或者验证码输入正确！！", kWaitForTheCall,
                                        "注册成功！！！"}),
              third_run_boxes);
    EXPECT_EQ(friends, third_run_friends);
    EXPECT_EQ("一共有1位好友", friend_count);
    EXPECT_EQ("还可以输入45个字符！！！", counter);
    EXPECT_EQ(kFriend, friend_number);
    EXPECT_EQ("免费通话时间还剩： 29分钟", minutes_before_claim);  // 30 to start with, one call
    EXPECT_EQ("免费通话时间还剩： 44分钟", minutes_after_claim);   // and the week's 15
    EXPECT_NE(std::string::npos, service.log().find("call: " + kMember + " -> " + kFriend));

    ASSERT_EQ(0, service.stop()) << service.log();
    ProcessResult members = service.admin({"members"}), calls = service.admin({"calls"}),
                  messages = service.admin({"messages"});
    EXPECT_EQ((std::vector<std::string>{"100000\t" + kMember + "\t44\t" + kDefaultNumber,
                                        "100001\t" + kFriend + "\t30\t" + kMember}),
              rows_without_time(members.out, 4))
        << members.err;
    EXPECT_EQ((std::vector<std::string>{"1\t100000\t" + kMember + "\t" + kFriend + "\t127.0.0.1"}),
              rows_without_time(calls.out, 1))
        << calls.err;
    EXPECT_EQ((std::vector<std::string>{"1\t" + kMember + "\t" + kFriend + "\t100001\t" + kMessage}),
              rows_without_time(messages.out, 1))
        << messages.err;
}

}  // namespace
