// Finding the program's own window and the reminder box, on the real kernel
// and the user32 stand-in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QMessageBox>
#include <QPushButton>

#include "runtime/globals.h"
#include "runtime/runtime.h"
#include "tests/support/kernel_harness.h"
#include "web/window_lookup.h"

using namespace tolvar;
using namespace tolvar::test;
using namespace tolvar::web;

namespace {

// Clicks the button of the next modal box and reports its title and owner.
struct BoxWatcher {
    QString title, text;
    QWidget *owner = nullptr;
    bool seen = false;
    void arm(QMessageBox::StandardButton button = QMessageBox::Ok) {
        QTimer::singleShot(50, [this, button] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(nullptr, box);
            seen = true;
            title = box->windowTitle();
            text = box->text();
            owner = box->parentWidget();
            box->button(button)->click();
        });
    }
};

TEST(WindowLookup, FindsTheVisibleMainWindowOfItsOwnProcess) {
    in_program([] {
        std::vector<WindowInfo> list;
        EXPECT_GE(enum_visible_windows(list), 1);
        uint32_t own = find_own_window(static_cast<uint32_t>(getpid()));
        ASSERT_NE(0u, own);
        EXPECT_EQ(list.front().handle, own);
        EXPECT_EQ(static_cast<uint32_t>(getpid()), list.front().process);
        EXPECT_NE(0u, list.front().thread);
        EXPECT_EQ("Tolvar V 1.5", list.front().title.substr(0, 12));
        EXPECT_FALSE(list.front().class_name.empty());
        EXPECT_EQ(0u, find_own_window(static_cast<uint32_t>(getpid()) + 100000));
        // The program-wide list is empty again after each enumeration.
        EXPECT_EQ(0u, runtime::globals().window_list.count());
    });
}

TEST(WindowLookup, ReminderBoxShowsOverTheOwnWindowWithItsDefaultTitle) {
    BoxWatcher watcher;
    int32_t result = -5;
    run_with_window([&](QWidget *window) {
        watcher.arm();
        result = reminder_box("\xC7\xEB\xD7\xA2\xD2\xE2");  // GBK 请注意
        EXPECT_EQ(window, watcher.owner);
    });
    EXPECT_TRUE(watcher.seen);
    EXPECT_EQ(0, result);
    EXPECT_EQ(QString::fromUtf8("友情提醒"), watcher.title);
    EXPECT_EQ(QString::fromUtf8("请注意"), watcher.text);
}

TEST(WindowLookup, WithEveryWindowHiddenTheBoxHasNoOwner) {
    BoxWatcher watcher;
    int32_t result = -5;
    run_with_window([&](QWidget *window) {
        window->hide();
        EXPECT_EQ(0u, find_own_window(static_cast<uint32_t>(getpid())));
        watcher.arm(QMessageBox::Cancel);
        result = reminder_box("x", 1 /* OK and Cancel */, std::string_view("T"));
        window->show();
    });
    EXPECT_TRUE(watcher.seen);
    EXPECT_EQ(nullptr, watcher.owner);
    EXPECT_EQ("T", watcher.title.toStdString());
    EXPECT_EQ(1, result);  // IDCANCEL (2) minus 1
}

TEST(WindowLookup, ALongTitleIsCutTo255Bytes) {
    run_with_window([](QWidget *window) {
        window->setWindowTitle(QString(300, 'w'));
        std::vector<WindowInfo> list;
        enum_visible_windows(list);
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(std::string(255, 'w'), list.front().title);
        EXPECT_LE(list.front().class_name.size(), 49u);
    });
}

}  // namespace
