// The window services as the program calls them, each reached by the control's
// id, on the real kernel.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QLabel>
#include <QListWidget>
#include <QPicture>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTextBrowser>
#include <QTimer>
#include <cstring>

#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "runtime/controls.h"

using namespace tolvar;
using namespace tolvar::runtime;
using namespace tolvar::test;

namespace {

// GBK bytes of a few words used below.
const char *const kLoginMark = "\xB5\xC7\xC2\xBC\xB3\xC9\xB9\xA6\xA3\xA1\xA3\xA1";  // 登录成功！！

std::string take(const Text &text) { return std::string(text_view(text)); }

TEST(WindowServices, TextsOfLabelsEditsAndTheWindowTitle) {
    run_with_window([](QWidget *w) {
        set_text(runtime::标签1, kLoginMark);
        EXPECT_EQ(QString::fromUtf8("登录成功！！"), find<QLabel>(w, "标签1")->text());
        EXPECT_EQ(kLoginMark, take(text_of(runtime::标签1)));
        // Multi-line texts keep their CR LF line ends for the program.
        set_text(runtime::好友, "13900000001,1\r\n13900000002,2\r\n");
        EXPECT_EQ("13900000001,1\n13900000002,2\n", find<QPlainTextEdit>(w, "好友")->toPlainText().toStdString());
        EXPECT_EQ("13900000001,1\r\n13900000002,2\r\n", take(text_of(runtime::好友)));
        EXPECT_EQ("Tolvar V 1.5", take(text_of(TOLVAR_WINDOW_OBJECT)).substr(0, 12));
        set_text(TOLVAR_WINDOW_OBJECT, "abc");
        EXPECT_EQ("abc", w->windowTitle());
        append_text(runtime::编辑框8, "x");
        append_text(runtime::编辑框8, "y");
        EXPECT_EQ("xy", take(text_of(runtime::编辑框8)));
    });
}

TEST(WindowServices, DisabledStateAndCurrentPage) {
    run_with_window([](QWidget *w) {
        EXPECT_TRUE(is_disabled(runtime::按钮2));
        set_disabled(runtime::按钮2, false);
        EXPECT_TRUE(find(w, "按钮2")->isEnabled());
        EXPECT_FALSE(is_disabled(runtime::按钮2));
        EXPECT_EQ(0, current_page(runtime::选择夹1));
        set_current_page(runtime::选择夹1, 1);
        EXPECT_EQ(1, w->findChild<QTabBar *>()->currentIndex());
        EXPECT_TRUE(find(w, "拨打电话")->isVisible());
        EXPECT_EQ(1, current_page(runtime::选择夹1));
    });
}

TEST(WindowServices, ListBoxItemsWithTextsAndValues) {
    run_with_window([](QWidget *w) {
        auto *list = find<QListWidget>(w, "列表框1");
        list_add(runtime::列表框1, "13900000001", 101);
        list_add(runtime::列表框1, "13900000002", 102);
        EXPECT_EQ(2, list_count(runtime::列表框1));
        EXPECT_EQ("13900000002", take(list_item_text(runtime::列表框1, 1)));
        EXPECT_EQ(102, list_item_value(runtime::列表框1, 1));
        EXPECT_EQ("", take(list_item_text(runtime::列表框1, -1)));
        EXPECT_EQ("", take(list_item_text(runtime::列表框1, 2)));
        EXPECT_EQ(0, list_item_value(runtime::列表框1, -1));
        EXPECT_EQ(-1, current_item(runtime::列表框1));
        set_current_item(runtime::列表框1, 0);
        EXPECT_EQ(0, list->currentRow());
        EXPECT_EQ(0, current_item(runtime::列表框1));
        list_clear(runtime::列表框1);
        EXPECT_EQ(0, list->count());
        EXPECT_EQ(-1, current_item(runtime::列表框1));
    });
}

TEST(WindowServices, TimerPictureHtmlViewAndHyperlink) {
    run_with_window([](QWidget *w) {
        auto *timer = find(w, "时钟1")->findChild<QTimer *>();
        ASSERT_NE(nullptr, timer);
        EXPECT_FALSE(timer->isActive());
        set_timer_interval(runtime::时钟1, 250);
        EXPECT_TRUE(timer->isActive());
        EXPECT_EQ(250, timer->interval());
        set_timer_interval(runtime::时钟1, 0);
        EXPECT_FALSE(timer->isActive());

        QPixmap pixmap(58, 28);
        pixmap.fill(Qt::red);
        QByteArray png;
        QBuffer buffer(&png);
        pixmap.save(&buffer, "PNG");
        std::vector<uint8_t> byte_set(8 + static_cast<size_t>(png.size()));
        uint32_t header[2] = {1, static_cast<uint32_t>(png.size())};
        std::memcpy(byte_set.data(), header, 8);
        std::memcpy(byte_set.data() + 8, png.constData(), static_cast<size_t>(png.size()));
        set_picture(runtime::图片框1, byte_set.data());
        EXPECT_EQ(QSize(58, 28), find<QLabel>(w, "图片框1")->pixmap().size());
        ByteSet back = picture_of(runtime::图片框1);
        EXPECT_EQ(0, std::memcmp(back.get(), byte_set.data(), byte_set.size()));

        set_address(runtime::超文本浏览框2, "/nonexistent/ad/4.html");
        EXPECT_EQ("/nonexistent/ad/4.html", take(address_of(runtime::超文本浏览框2)));
        set_address(runtime::超级链接框1, "/somewhere/help.html");
        EXPECT_EQ("/somewhere/help.html", take(address_of(runtime::超级链接框1)));
        EXPECT_EQ(QCoreApplication::applicationDirPath().toStdString(), take(program_directory()));
    });
}

}  // namespace
