// The window by keyboard alone: the page keys, the friend menu from the
// keyboard, Tab through each page, Return pressing a group's button, F10
// for the menu bar, and the links of an advertising view by arrow keys.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QTextBrowser>
#include <fstream>
#include <map>
#include <memory>

#include "tests/support/process.h"
#include "tests/support/url_recorder.h"
#include "tests/support/window_driving.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

// Runs the program in a folder holding a friend file with two friends.
void run_with_friends(const std::function<void(QWidget *)> &drive) {
    ScratchDir folder;
    std::ofstream(folder.path() / "hao.txt") << "13912345678,123\r\n13800001111,456\r\n";
    run_with_window(drive, test_image_bytes(), folder.path().string());
}

// The key pressed where the focus is, as the user presses it.
void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

TEST(Keyboard, PageKeysSwitchPagesRoundTheEndsAndRunThePageHandler) {
    run_with_friends([](QWidget *w) {
        auto *friends = find<QListWidget>(w, "列表框1");
        mark_logged_in(w);
        show_page(w, 1);
        find(w, "编辑框2")->setFocus();
        QTest::keyClicks(find(w, "编辑框2"), "13912345678");
        show_page(w, 0);
        find(w, "编辑框3")->setFocus();

        press(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(1, current_page(w));
        press(Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(2, current_page(w));
        EXPECT_EQ(2, friends->count());  // the page handler listed the friend file
        // From inside the multi-line box as well.
        find(w, "编辑框5")->setFocus();
        press(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(3, current_page(w));
        EXPECT_EQ("13912345678", text_of(w, "编辑框7"));  // page ④ took the login number
        press(Qt::Key_PageDown, Qt::ControlModifier);
        EXPECT_EQ(0, current_page(w));
        // Back: Shift+Tab comes as Backtab with Ctrl and Shift held.
        press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_EQ(3, current_page(w));
        press(Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ(2, current_page(w));
        friends->clear();
        press(Qt::Key_PageUp, Qt::ControlModifier);
        press(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(2, current_page(w));
        EXPECT_EQ(2, friends->count());
    });
}

TEST(Keyboard, LeavingAPageByKeyPutsTheFocusOnTheStripWithoutFocusingAnotherControl) {
    run_with_window([](QWidget *w) {
        find(w, "编辑框8")->setFocus();  // on page ④, not shown: the focus stays in the box
        show_page(w, 0);
        auto *phone = find<QLineEdit>(w, "编辑框3");
        phone->setFocus();
        QTest::keyClicks(phone, "139");
        press(Qt::Key_Tab, Qt::ControlModifier);
        EXPECT_EQ(w->findChild<QTabBar *>(), QApplication::focusWidget());
        press(Qt::Key_PageUp, Qt::ControlModifier);
        EXPECT_EQ("139", phone->text().toStdString());  // its focus event (which empties it) did not run
    });
}

TEST(Keyboard, TheMenuKeyAndShiftF10OpenTheFriendMenuAtTheCurrentItem) {
    run_with_friends([](QWidget *w) {
        show_page(w, 2);
        auto *list = find<QListWidget>(w, "列表框1");
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        ASSERT_EQ(2, list->count());
        list->setFocus();
        list->setCurrentRow(1);
        for (auto [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers(Qt::NoModifier)},
                                      std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
            SCOPED_TRACE(key);
            press(key, modifiers);
            ASSERT_TRUE(menu->isVisible());
            QRect item = list->visualItemRect(list->item(1));
            EXPECT_EQ(list->viewport()->mapToGlobal(QPoint(item.left(), item.bottom() + 1)), menu->pos());
            EXPECT_EQ(1, list->currentRow());
            menu->close();
        }
        // No current item: at the list's top left.
        list->setCurrentRow(-1);
        press(Qt::Key_Menu);
        ASSERT_TRUE(menu->isVisible());
        EXPECT_EQ(list->viewport()->mapToGlobal(QPoint(0, 0)), menu->pos());
        menu->close();
        // F10 alone is no menu key of the list.
        press(Qt::Key_F10);
        EXPECT_FALSE(menu->isVisible());
    });
}

// The controls Tab (or Shift+Tab) reaches from `start`, in order, `count` of them.
std::vector<std::string> tab_chain(QWidget *start, size_t count, int key = Qt::Key_Tab) {
    std::vector<std::string> out;
    start->setFocus();
    for (size_t i = 0; i < count; ++i) {
        QWidget *at = QApplication::focusWidget();
        out.push_back(qobject_cast<QTabBar *>(at) ? "strip" : at->objectName().toStdString());
        press(key);
    }
    return out;
}

TEST(Keyboard, TabWalksEachPageInTheLayoutsOrderAndEachAdvertisingViewIsOneStop) {
    MessageBoxes boxes;
    run_with_window([](QWidget *w) {
        mark_logged_in(w);
        find(w, "编辑框2")->setFocus();  // writes the advertising pages, so the views hold their links
        ASSERT_FALSE(find<QTextBrowser>(w, "超文本浏览框3")->toPlainText().isEmpty());
        auto *strip = w->findChild<QTabBar *>();
        using Chain = std::vector<std::string>;
        const Chain views = {"超文本浏览框3", "超文本浏览框2", "strip"};
        auto with_views = [&](Chain page) {
            page.insert(page.begin(), "strip");
            page.insert(page.end(), views.begin(), views.end());
            return page;
        };
        show_page(w, 0);
        EXPECT_EQ(with_views({"编辑框3", "按钮16", "编辑框4", "按钮15"}), tab_chain(strip, 8));
        show_page(w, 1);  // 按钮2 is disabled before a login
        EXPECT_EQ(with_views({"编辑框2", "编辑框1", "按钮1", "拨打电话", "按钮3", "按钮4", "按钮5", "按钮6", "按钮7", "按钮8",
                              "按钮9", "按钮10", "按钮11", "按钮14", "按钮13", "按钮12"}),
                  tab_chain(strip, 20));
        show_page(w, 2);
        EXPECT_EQ(with_views({"列表框1", "按钮18", "编辑框5", "按钮17"}), tab_chain(strip, 8));
        EXPECT_EQ("", find<QPlainTextEdit>(w, "编辑框5")->toPlainText().toStdString());  // Tab typed nothing
        show_page(w, 3);
        EXPECT_EQ(with_views({"编辑框8", "按钮19"}), tab_chain(strip, 6));
        EXPECT_EQ((Chain{"strip", "超文本浏览框2", "超文本浏览框3", "按钮19", "编辑框8", "strip"}),
                  tab_chain(strip, 6, Qt::Key_Backtab));
    });
}

TEST(Keyboard, TheArrowKeysWalkTheLinksOfAnAdvertisingViewAndReturnOpensOne) {
    UrlRecorder urls;
    QStringList walked;
    run_with_window([&](QWidget *w) {
        find(w, "编辑框2")->setFocus();  // writes the advertising pages
        auto *view = find<QTextBrowser>(w, "超文本浏览框3");
        view->setFocus(Qt::TabFocusReason);
        auto link = [&] {
            QTextCursor c = view->textCursor();
            QTextCursor inside(view->document());
            inside.setPosition(c.selectionStart() + 1);
            return c.hasSelection() ? inside.charFormat().anchorHref() : QString();
        };
        for (int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right, Qt::Key_Up}) {
            press(key);
            walked << link();
        }
        press(Qt::Key_Return);
        press(Qt::Key_Tab);
        EXPECT_EQ(QString::fromUtf8("超文本浏览框2"), QApplication::focusWidget()->objectName());
    });
    ASSERT_EQ(4, walked.size());
    for (const QString &href : walked) EXPECT_TRUE(href.startsWith("http")) << href.toStdString();
    EXPECT_NE(walked[0], walked[1]);
    EXPECT_NE(walked[1], walked[2]);
    EXPECT_EQ(walked[1], walked[3]);
    ASSERT_EQ(1, urls.opened.size());
    EXPECT_EQ(walked[3], urls.opened[0].toString());
}

TEST(Keyboard, ReturnInABoxPressesItsGroupsButtonAndNoOther) {
    MessageBoxes boxes;  // the buttons' requests go to a service that is not there
    run_with_window([](QWidget *w) {
        struct Case {
            int page;
            const char *box, *button;
        };
        const char *buttons[] = {"按钮16", "按钮15", "按钮1"};
        std::map<std::string, std::unique_ptr<QSignalSpy>> clicked;
        for (const char *b : buttons) clicked[b] = std::make_unique<QSignalSpy>(find<QPushButton>(w, b), &QPushButton::clicked);
        for (Case c : {Case{0, "编辑框3", "按钮16"}, Case{0, "编辑框4", "按钮15"}, Case{1, "编辑框1", "按钮1"}}) {
            SCOPED_TRACE(c.box);
            show_page(w, c.page);
            QWidget *box = find(w, c.box);
            box->setFocus();
            std::map<std::string, int> before;
            for (auto &[name, spy] : clicked) before[name] = static_cast<int>(spy->count());
            QTest::keyClick(box, Qt::Key_Return);
            for (auto &[name, spy] : clicked) EXPECT_EQ(before[name] + (name == c.button), spy->count()) << name;
        }
        // A box without a button of its own: Return presses nothing.
        show_page(w, 1);
        find(w, "编辑框2")->setFocus();
        int total = 0;
        for (auto &[name, spy] : clicked) total += static_cast<int>(spy->count());
        QTest::keyClick(find(w, "编辑框2"), Qt::Key_Return);
        int after = 0;
        for (auto &[name, spy] : clicked) after += static_cast<int>(spy->count());
        EXPECT_EQ(total, after);
    });
}

TEST(Keyboard, F10OpensTheMenuBarAsAltDoes) {
    run_with_window([](QWidget *w) {
        QMenuBar *bar = qobject_cast<QMainWindow *>(w)->menuBar();
        auto *phone = find(w, "编辑框3");
        phone->setFocus();
        press(Qt::Key_F10);
        // The first title highlighted, no menu open yet: the bar's keyboard mode, as after Alt.
        EXPECT_TRUE(bar->hasFocus());
        EXPECT_EQ(bar->actions().first(), bar->activeAction());
        EXPECT_EQ(nullptr, QApplication::activePopupWidget());
        press(Qt::Key_Right);
        EXPECT_EQ(bar->actions().at(1), bar->activeAction());
        // F10 again leaves the bar, the focus back where it was.
        press(Qt::Key_F10);
        EXPECT_EQ(phone, QApplication::focusWidget());
        EXPECT_EQ(nullptr, bar->activeAction());
    });
}

}  // namespace
