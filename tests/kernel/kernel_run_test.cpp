// The real kernel library in this process on Qt's offscreen platform: it loads
// an image written by the test, runs the program's start routine (exported by
// this test executable) and ends when the window closes.
#include <gtest/gtest.h>
#include <signal.h>

#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstring>

#include "image/code_layout.h"
#include "image/image_reader.h"
#include "runtime/globals.h"
#include "runtime/deployment.h"
#include "runtime/runtime.h"
#include "runtime/runtime_content.h"
#include "tests/support/kernel_harness.h"

using namespace tolvar;
using tolvar::test::main_window;
using tolvar::test::run_image;

namespace {

const QString kTitle = QString::fromUtf8("Tolvar V 1.5版 每周领取15分钟  无限发短信 ★限★：接听免费的用户使用！！！");

// Replaces the first occurrence of `from` by `to` (same length) in the image.
std::vector<uint8_t> patched(std::vector<uint8_t> bytes, const std::string &from, const std::string &to) {
    auto it = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
    EXPECT_NE(it, bytes.end()) << from;
    if (it != bytes.end()) std::copy(to.begin(), to.end(), it);
    return bytes;
}

TEST(KernelRun, ShowsTheWindowFromTheFormAndEndsThroughTheCleanUp) {
    bool seen = false;
    QTimer::singleShot(0, [&] {
        QWidget *w = main_window();
        ASSERT_NE(nullptr, w);
        seen = true;
        EXPECT_EQ(kTitle, w->windowTitle());
        EXPECT_EQ(QSize(740, 510), w->frameGeometry().size());
        EXPECT_EQ(QPoint(50, 50), w->frameGeometry().topLeft());
        EXPECT_NE(nullptr, runtime::globals().window_list.block());
        w->close();
    });
    EXPECT_EQ(0, run_image(test::test_image_bytes()));
    EXPECT_TRUE(seen);
    EXPECT_EQ(nullptr, runtime::globals().window_list.block());  // the clean-up ran
    EXPECT_EQ(nullptr, main_window());
}

TEST(KernelRun, TheWindowCarriesTheStoredIcon) {
    auto settings = test::loopback_settings();
    settings.icon = [] {
        QFile f(TOLVAR_ICON_FILE);
        f.open(QIODevice::ReadOnly);
        QByteArray b = f.readAll();
        return std::vector<uint8_t>(b.begin(), b.end());
    }();
    ASSERT_EQ(67646u, settings.icon.size());
    QSize icon_size;
    QTimer::singleShot(0, [&] {
        QWidget *w = main_window();
        ASSERT_NE(nullptr, w);
        icon_size = w->windowIcon().availableSizes().value(0);
        w->close();
    });
    EXPECT_EQ(0, run_image(image::write_image(program::build_program_image(settings))));
    EXPECT_EQ(QSize(128, 128), icon_size);
}

TEST(KernelRun, MessageBoxIsModalOverTheWindowWithItsTitle) {
    QString box_title, box_text;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(50, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(nullptr, box);
            box_title = box->windowTitle();
            box_text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        runtime::message_box("\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6");  // GBK "登录成功"
        main_window()->close();
    });
    EXPECT_EQ(0, run_image(test::test_image_bytes()));
    EXPECT_EQ(kTitle, box_title);
    EXPECT_EQ(QString::fromUtf8("登录成功"), box_text);
}

TEST(KernelRun, ATerminationSignalEndsTheProgramThroughItsCleanUp) {
    QTimer::singleShot(0, [] { raise(SIGTERM); });
    EXPECT_EQ(0, run_image(test::test_image_bytes()));
    EXPECT_EQ(nullptr, runtime::globals().window_list.block());
}

TEST(KernelRun, ConstantsOfTheImageAreNeverFreedAndMoveWhenGrown) {
    test::in_program([] {
        auto *constant = const_cast<uint8_t *>(runtime::const_data(runtime::kEmptyArray));
        runtime::BlockRelease()(constant);  // a constant is left alone
        runtime::ByteSet grown_block(runtime::resize(constant, 16));
        auto *grown = static_cast<uint32_t *>(grown_block.get());
        ASSERT_NE(static_cast<void *>(constant), static_cast<void *>(grown));
        EXPECT_EQ(1u, grown[0]);
        EXPECT_EQ(0u, grown[1]);
        uint32_t original[2];
        std::memcpy(original, constant, 8);
        EXPECT_EQ(1u, original[0]);
        EXPECT_STREQ("13900000000", runtime::const_text(runtime::kDefaultNumber));
    });
}

TEST(KernelRunDeathTest, ARunTimeErrorStopsTheProgramNamingItsCode) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(test::in_program([] { runtime::runtime_error(TOLVAR_ERROR_INDEX_BELOW); }),
                ::testing::ExitedWithCode(1), "Run-time error 4: array element number below 1");
}

TEST(KernelRun, RefusesImagesItCannotRun) {
    auto clean = test::test_image_bytes();
    struct Case {
        const char *why;
        std::vector<uint8_t> bytes;
    };
    auto no_library = test::test_image();
    no_library.libraries[3].name = "HtmlView2";
    auto bad_form = test::test_image();
    bad_form.sections[image::kForm].data[0] = 9;  // the form's leading value is 8
    auto no_window = test::test_image();
    image::store_u32(no_window.sections[image::kForm].data.data() + 36, 0x06010001);  // the window object's id
    std::vector<Case> cases = {
        {"truncated", std::vector<uint8_t>(clean.begin(), clean.begin() + clean.size() / 2)},
        {"bad magic", patched(clean, std::string("WJ\0\0", 4), std::string("WK\0\0", 4))},
        {"routine the executable lacks", patched(clean, "regex_copy", "regex_cop_")},
        {"missing DLL function", patched(clean, "InternetSetCookieA", "InternetSetCookieX")},
        {"function of no library found nowhere", patched(clean, "EnumWindows", "EnumWindowX")},
        {"missing support library", image::write_image(no_library)},
        {"unreadable form", image::write_image(bad_form)},
        {"form without the window object", image::write_image(no_window)},
    };
    for (const auto &c : cases) {
        EXPECT_NE(0, run_image(c.bytes)) << c.why;
        EXPECT_EQ(nullptr, main_window()) << c.why;
    }
}

}  // namespace
