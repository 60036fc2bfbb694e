// Every operation ends with its own outcome whatever comes back: no service
// at all, binary bytes and zero bytes, another encoding, a huge reply, a
// reply broken off.
#include <QListWidget>

#include "tests/service/service_fixture.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

struct Outcome {
    std::vector<std::string> messages;
    std::string minutes;
    bool picture_shown = true;
    std::string login_mark;
};

// Runs each operation once, in the window's order, and notes what the user sees.
Outcome run_every_operation(QWidget *w) {
    Outcome out;
    MessageBoxes boxes;
    set_referrer_number("13800000000");
    click(w, "按钮16");
    click(w, "按钮15");
    show_page(w, 1);
    find(w, "编辑框1")->setFocus();
    click(w, "按钮1");
    out.picture_shown = !find<QLabel>(w, "图片框1")->pixmap().isNull();
    type_into(w, "拨打电话", "13912345678");
    click(w, "按钮14");
    find(w, "按钮2")->setEnabled(true);
    click(w, "按钮2");
    choose(w, "领取15分钟");
    out.login_mark = text_of(w, "标签1");
    find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！"));
    find<QListWidget>(w, "列表框1")->addItem("13900000001");
    find<QListWidget>(w, "列表框1")->setCurrentRow(0);
    choose(w, "打电话");
    out.messages = boxes.texts;
    out.minutes = text_of(w, "标签6");
    return out;
}

const char kWait[] = "请稍等,语音验证码将在5分钟内以电话语音的方式告诉你，请将听到的数字填入框中！！";
const char kNetwork[] = "请检查你的网络是否正常！！！！";
const char kMinutesAtStart[] = "免费通话时间还剩：  分钟";
const std::vector<std::string> kFailureMessages = {
    "语音验证码错误，或者手机号码错误！！",
    "登录失败！请确认注册了！或者验证码输入正确！！",
    "呼叫失败！请重试！！",
};

// The messages of every operation in order: the voice-code request's, the
// three failures of confirm, login and call, then those from the minutes
// button on.
std::vector<std::string> outcomes(const char *voice_code, std::vector<std::string> after_call) {
    std::vector<std::string> out{voice_code};
    out.insert(out.end(), kFailureMessages.begin(), kFailureMessages.end());
    out.insert(out.end(), after_call.begin(), after_call.end());
    return out;
}

TEST_F(ServiceTest, WithoutAServiceEveryOperationEndsWithItsFailure) {
    uint16_t port;
    {
        LoopbackServer closed([](const HttpRequest &, ServerConnection &) {});
        port = closed.port();
    }
    program::ProgramSettings s = loopback_settings();
    s.service_host = "127.0.0.1:" + std::to_string(port);
    s.echo_url = "http://" + s.service_host + "/ip.php";
    Outcome outcome;
    run_with_window([&](QWidget *w) { outcome = run_every_operation(w); }, image::write_image(program::build_program_image(s)),
                    program_folder.path().string());
    // Both the voice-code request and the balance say the network failed; the label stays as it was.
    EXPECT_EQ(outcomes(kNetwork, {kNetwork, "领取失败！请重试！！", "呼叫失败！请重试！！"}), outcome.messages);
    EXPECT_EQ(kMinutesAtStart, outcome.minutes);
    EXPECT_FALSE(outcome.picture_shown);
    EXPECT_EQ(" 请输入验证码", outcome.login_mark);
}

// The same reply to every request.
void answer_everything_with(FakeService &service, const std::string &reply) {
    for (const char *target : {"/url.php?class=check", "/url.php", "/verifycode.php", "/validate.php", "/ip.php",
                               "/p.php", "/p.php?class=giving&hash="})
        service.on(target, reply);
}

TEST_F(ServiceTest, BinaryAndZeroBytesEndEachOperationAsAnyOtherPageWould) {
    std::string binary("\x00\xff\xfe\x80p.php\x00\x01", 10);
    answer_everything_with(service, binary + std::string(150, '\x00'));  // 160 bytes: a failed call
    Outcome outcome;
    run([&](QWidget *w) { outcome = run_every_operation(w); });
    // "p.php" behind a zero byte is not in the text.
    EXPECT_EQ(outcomes(kWait, {"领取成功！！！", "呼叫失败！请重试！！"}), outcome.messages);
    EXPECT_EQ("免费通话时间还剩： 分钟", outcome.minutes);
    EXPECT_FALSE(outcome.picture_shown);
}

TEST_F(ServiceTest, AReplyInAnotherEncodingIsTakenAsItsBytes) {
    // "没有登陆" in UTF-8 is not the GBK marker: the balance is shown, bytes as they came.
    answer_everything_with(service, "\xe6\xb2\xa1\xe6\x9c\x89\xe7\x99\xbb\xe9\x99\x86");
    Outcome outcome;
    run([&](QWidget *w) { outcome = run_every_operation(w); });
    ASSERT_EQ(6u, outcome.messages.size());
    EXPECT_EQ("领取成功！！！", outcome.messages[4]);
    EXPECT_EQ(0u, outcome.minutes.find("免费通话时间还剩： "));
    EXPECT_NE(std::string::npos, outcome.minutes.find("分钟"));
}

// A balance page of 32 MiB (the most a body is read) goes into the label's
// caption, which keeps what a caption can show, at once.
TEST_F(ServiceTest, AHugeBalancePageGoesIntoTheLabelAsFarAsACaptionShows) {
    service.on("/url.php", std::string(32 << 20, '7'));
    run([&](QWidget *w) {
        MessageBoxes boxes;
        show_page(w, 1);
        find(w, "按钮2")->setEnabled(true);
        click(w, "按钮2");
        EXPECT_TRUE(boxes.texts.empty());
        auto *label = find<QLabel>(w, "标签6");
        EXPECT_EQ(4096, label->text().size());
        EXPECT_EQ("免费通话时间还剩： 7777", label->text().left(14).toStdString());
        label->repaint();
    });
}

// A balance or error page is shown as its text, never as markup.
TEST_F(ServiceTest, AnErrorPageIsShownInTheLabelAsItStands) {
    service.on("/url.php", "<html><b>Error</b></html>");
    run([&](QWidget *w) {
        show_page(w, 1);
        find(w, "按钮2")->setEnabled(true);
        click(w, "按钮2");
        auto *label = find<QLabel>(w, "标签6");
        EXPECT_EQ("免费通话时间还剩： <html><b>Error</b></html>分钟", label->text().toStdString());
        EXPECT_EQ(Qt::PlainText, label->textFormat());
    });
}

TEST_F(ServiceTest, RepliesBrokenOffOrRefusedByTheEngineGiveTheFailures) {
    service.on("/url.php", [](const HttpRequest &, ServerConnection &c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<html>");
        c.reset();
    });
    service.on("/validate.php", [](const HttpRequest &, ServerConnection &c) { c.send("garbage\r\n\r\np.php"); });
    Outcome outcome;
    run([&](QWidget *w) { outcome = run_every_operation(w); });
    // The balance broke off: the network warning, and the label stays as it was.
    EXPECT_EQ(outcomes(kWait, {kNetwork, "领取失败！请重试！！", "呼叫失败！请重试！！"}), outcome.messages);
    EXPECT_EQ(kMinutesAtStart, outcome.minutes);
}

}  // namespace
