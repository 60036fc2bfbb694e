// Login and captcha: the fixed form, the case-sensitive "p.php", the login
// mark and what a failure resets; the captcha in every format, converted in
// memory, and a cleared picture for whatever is no picture.
#include <filesystem>

#include "tests/service/service_fixture.h"
#include "tests/support/pictures.h"

using namespace tolvar::test;

namespace {

const char kLoginFailed[] = "登录失败！请确认注册了！或者验证码输入正确！！";

std::string login_form(const std::string &number, const std::string &code) {
    return "top=1&NoCode=1&RedirectUrl=%2Fp.php&MemberCode=" + number + "&MemberPassword=" + number +
           "&ValidCode=" + code + "&Image2.x=73&Image2.y=14";
}

QSize shown_picture(QWidget *w) { return find<QLabel>(w, "图片框1")->pixmap().size(); }

void focus_captcha_box(QWidget *w) {
    find(w, "编辑框2")->setFocus();
    find(w, "编辑框1")->setFocus();
}

TEST_F(ServiceTest, LoginSendsTheFixedFormAndAReplyNamingPPhpSetsTheMark) {
    service.on("/validate.php", "<script>location.href='/p.php';</script>");
    run([&](QWidget *w) {
        show_page(w, 1);
        EXPECT_FALSE(find(w, "按钮2")->isEnabled());
        find(w, "按钮14")->setEnabled(false);
        type_into(w, "编辑框2", " 139123456 ");
        type_into(w, "编辑框1", " A&b ");
        MessageBoxes boxes;
        click(w, "按钮1");
        EXPECT_TRUE(boxes.texts.empty());
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));
        EXPECT_EQ("用户号码：139123456", text_of(w, "标签5"));
        EXPECT_TRUE(find(w, "按钮14")->isEnabled());
        EXPECT_TRUE(find(w, "按钮2")->isEnabled());
        EXPECT_EQ(" 139123456 ", text_of(w, "编辑框2"));
    });
    auto requests = service.requests();
    ASSERT_EQ(1u, requests.size());
    // The captcha code goes as typed, blanks and all; "&" made safe.
    EXPECT_EQ(post_bytes(service.host(), "/validate.php", login_form("139123456", " A%26b ")), requests[0].raw);
}

TEST_F(ServiceTest, AFailedLoginEmptiesBothBoxesFetchesANewCaptchaAndKeepsAnEarlierMark) {
    service.on("/validate.php", std::vector<std::string>{"P.PHP", "ok p.php", "<a href=P.PHP>"});
    service.on("/verifycode.php", picture_file("PNG", {58, 28}, Qt::blue));
    run([&](QWidget *w) {
        show_page(w, 1);
        MessageBoxes boxes;
        type_into(w, "编辑框2", "13912345678");
        type_into(w, "编辑框1", "abcd");
        click(w, "按钮1");
        EXPECT_EQ(std::vector<std::string>{kLoginFailed}, boxes.texts);
        EXPECT_EQ(" 请输入验证码", text_of(w, "标签1"));
        EXPECT_EQ("", text_of(w, "编辑框2"));
        EXPECT_EQ("", text_of(w, "编辑框1"));
        EXPECT_EQ(QSize(58, 28), shown_picture(w));
        EXPECT_FALSE(find(w, "按钮2")->isEnabled());

        type_into(w, "编辑框2", "13912345678");
        click(w, "按钮1");
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));
        type_into(w, "编辑框2", "13912345678");
        click(w, "按钮1");
        EXPECT_EQ((std::vector<std::string>{kLoginFailed, kLoginFailed}), boxes.texts);
        EXPECT_EQ("登录成功！！", text_of(w, "标签1"));  // never reset
    });
    EXPECT_EQ((std::vector<std::string>{"/validate.php", "/verifycode.php", "/validate.php", "/validate.php",
                                        "/verifycode.php"}),
              service.targets());
}

TEST_F(ServiceTest, EveryFocusOfTheCaptchaBoxShowsTheNewestPictureInAnyFormat) {
    service.on("/verifycode.php", std::vector<std::string>{picture_file("PNG", {58, 28}, Qt::blue),
                                                           picture_file("JPEG", {40, 20}, Qt::white),
                                                           picture_file("BMP", {30, 10}, Qt::green), red_gif()});
    std::vector<QSize> shown;
    run([&](QWidget *w) {
        show_page(w, 1);
        for (int i = 0; i < 4; ++i) {
            focus_captcha_box(w);
            shown.push_back(shown_picture(w));
        }
        EXPECT_EQ(qRgb(255, 0, 0), find<QLabel>(w, "图片框1")->pixmap().toImage().pixel(0, 0));
    });
    EXPECT_EQ((std::vector<QSize>{{58, 28}, {40, 20}, {30, 10}, {1, 1}}), shown);
    auto requests = service.requests();
    ASSERT_EQ(4u, requests.size());
    EXPECT_EQ(get_bytes(service.host(), "/verifycode.php"), requests[0].raw);
    // No work file is written, beside the program or anywhere it could name; the
    // advertising pages are written when the page's first box takes the focus.
    for (const auto &entry : std::filesystem::directory_iterator(program_folder.path()))
        if (entry.path().filename() != "ad") ADD_FAILURE() << "written: " << entry.path();
    EXPECT_FALSE(std::filesystem::exists("/010.png") || std::filesystem::exists("c:\\010.png"));
}

TEST_F(ServiceTest, ACaptchaReplyThatIsNoPictureClearsThePictureBox) {
    std::string png = picture_file("PNG", {58, 28}, Qt::blue);
    std::vector<std::pair<std::string, std::string>> not_pictures = {
        {"an error page", "<html><body>500 Internal Server Error</body></html>"},
        {"an empty reply", ""},
        {"a truncated PNG", png.substr(0, png.size() - 30)},
        {"a decompression bomb", black_png(5000, 5000)},
        {"a 40 MB reply", std::string(40 << 20, 'x')},
    };
    std::vector<std::string> replies;
    for (const auto &[what, bytes] : not_pictures) {
        replies.push_back(png);
        replies.push_back(bytes);
    }
    service.on("/verifycode.php", replies);
    run([&](QWidget *w) {
        show_page(w, 1);
        for (const auto &[what, bytes] : not_pictures) {
            focus_captcha_box(w);
            ASSERT_EQ(QSize(58, 28), shown_picture(w));
            focus_captcha_box(w);
            EXPECT_TRUE(find<QLabel>(w, "图片框1")->pixmap().isNull()) << what;
        }
    });
}

}  // namespace
