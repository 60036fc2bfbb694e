// The window's own small operations, driven by clicks and keys on the real
// kernel's widgets, found by their object names.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QUrl>

#include "runtime/globals.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/url_recorder.h"
#include "runtime/controls.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

void click(QWidget *w, const char *name) { QTest::mouseClick(find(w, name), Qt::LeftButton); }

void show_page(QWidget *w, int page) { w->findChild<QTabBar *>()->setCurrentIndex(page); }

TEST(SmallHandlers, DialPadAppendsDigitsAndClearEmptiesTheBox) {
    run_with_window([](QWidget *w) {
        show_page(w, 1);
        auto *number = find<QLineEdit>(w, "拨打电话");
        for (const char *b : {"按钮3", "按钮5", "按钮10"}) click(w, b);
        EXPECT_EQ("138", number->text());
        EXPECT_TRUE(number->hasFocus());
        click(w, "按钮12");
        EXPECT_EQ("", number->text());
        // Every digit button appends its own digit.
        for (const char *b : {"按钮3", "按钮4", "按钮5", "按钮6", "按钮7", "按钮8", "按钮9", "按钮10", "按钮11", "按钮13"})
            click(w, b);
        EXPECT_EQ("1234567890", number->text());
    });
}

TEST(SmallHandlers, ClearDoesNotMoveTheFocus) {
    run_with_window([](QWidget *w) {
        show_page(w, 1);
        auto *login = find<QLineEdit>(w, "编辑框2");
        login->setFocus();
        QTest::keyClicks(login, "139");
        auto *clear = find<QPushButton>(w, "按钮12");
        clear->click();  // a click that does not take the focus, as Windows buttons do not on a click by code
        EXPECT_TRUE(login->hasFocus());
        EXPECT_EQ("", find<QLineEdit>(w, "拨打电话")->text());
    });
}

TEST(SmallHandlers, DigitsGoAtTheEndWhateverTheCaretOrSelection) {
    run_with_window([](QWidget *w) {
        show_page(w, 1);
        auto *number = find<QLineEdit>(w, "拨打电话");
        number->setFocus();
        QTest::keyClicks(number, "555");
        number->setCursorPosition(1);
        click(w, "按钮3");
        EXPECT_EQ("5551", number->text());
        number->setSelection(0, 2);
        click(w, "按钮13");
        EXPECT_EQ("55510", number->text());
    });
}

TEST(SmallHandlers, HintBoxesEmptyOnEveryFocusByMouseKeyboardOrCode) {
    run_with_window([](QWidget *w) {
        auto *phone = find<QLineEdit>(w, "编辑框3");
        auto *code = find<QLineEdit>(w, "编辑框4");
        EXPECT_EQ(QString::fromUtf8("填写手机号码"), phone->text());
        QTest::mouseClick(phone, Qt::LeftButton);
        EXPECT_EQ("", phone->text());
        QTest::keyClicks(phone, "13912345678");
        code->setFocus(Qt::TabFocusReason);
        EXPECT_EQ("", code->text());  // the hint is not put back when a box loses the focus
        EXPECT_EQ("13912345678", phone->text());
        // Focus given by the program's code fires the same event.
        runtime::set_focus(runtime::编辑框3);
        EXPECT_TRUE(phone->hasFocus());
        EXPECT_EQ("", phone->text());
        QTest::keyClicks(code, "4321");
        QTest::mouseClick(code, Qt::LeftButton);
        EXPECT_EQ("", code->text());
    });
}

TEST(SmallHandlers, EditBoxesRefuseInputPastTheirLimit) {
    run_with_window([](QWidget *w) {
        show_page(w, 1);
        auto *login = find<QLineEdit>(w, "编辑框2");
        login->setFocus();
        QTest::keyClicks(login, "1391234567890");
        EXPECT_EQ("13912345678", login->text());
        show_page(w, 2);
        auto *message = find<QPlainTextEdit>(w, "编辑框5");
        message->setFocus();
        QTest::keyClicks(message, QString(70, 'a'));
        EXPECT_EQ(QString(60, 'a'), message->toPlainText());
        message->moveCursor(QTextCursor::Start);
        QTest::keyClicks(message, "b");
        EXPECT_EQ(QString(60, 'a'), message->toPlainText());
    });
}

// A character typed (one key event, a surrogate pair whole), pasted or
// committed by an input method.
void type(QWidget *box, const char *utf8) {
    QString text = QString::fromUtf8(utf8);
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text), release(QEvent::KeyRelease, 0, Qt::NoModifier, text);
    QApplication::sendEvent(box, &press);
    QApplication::sendEvent(box, &release);
}
void paste(QWidget *box, const char *utf8) {
    QApplication::clipboard()->setText(QString::fromUtf8(utf8));
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
}
void compose(QWidget *box, const char *utf8) {
    QInputMethodEvent commit;
    commit.setCommitString(QString::fromUtf8(utf8));
    QApplication::sendEvent(box, &commit);
}

TEST(SmallHandlers, EditBoxesRefuseWhatTheCodePageCannotHoldTypedPastedOrComposed) {
    run_with_window([](QWidget *w) {
        find(w, "标签1")->setProperty("text", QString::fromUtf8("登录成功！！"));  // page ④ opens after a login
        for (auto [page, name] : {std::pair{3, "编辑框8"}, std::pair{2, "编辑框5"}}) {
            SCOPED_TRACE(name);
            show_page(w, page);
            QWidget *box = find(w, name);
            box->setFocus();
            auto text = [&] {
                if (auto *line = qobject_cast<QLineEdit *>(box)) return line->text().toStdString();
                return qobject_cast<QPlainTextEdit *>(box)->toPlainText().toStdString();
            };
            type(box, "专");
            type(box, "😀");
            type(box, "€");
            EXPECT_EQ("专€", text());
            paste(box, "版😀权");  // refused whole
            EXPECT_EQ("专€", text());
            paste(box, "版权");
            EXPECT_EQ("专€版权", text());
            compose(box, "𠮷");
            compose(box, "\u200b");  // an ignorable character the code page drops
            EXPECT_EQ("专€版权", text());
            compose(box, "好");
            EXPECT_EQ("专€版权好", text());
        }
    });
}

TEST(SmallHandlers, RightClickOnAnEmptyFriendListPopsUpTheFriendMenu) {
    run_with_window([](QWidget *w) {
        show_page(w, 2);
        auto *list = find<QListWidget>(w, "列表框1");
        ASSERT_EQ(0, list->count());
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        ASSERT_NE(nullptr, menu);
        EXPECT_FALSE(menu->isVisible());
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, QPoint(20, 20));
        EXPECT_TRUE(menu->isVisible());
        menu->close();
    });
}

TEST(SmallHandlers, RightClickLeavesTheSelectionAlone) {
    run_with_window([](QWidget *w) {
        show_page(w, 2);
        auto *list = find<QListWidget>(w, "列表框1");
        list->addItems({"13900000001", "13900000002"});
        list->setCurrentRow(0);
        QRect second = list->visualItemRect(list->item(1));
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, second.center());
        EXPECT_EQ(0, list->currentRow());
        auto *menu = w->findChild<QMenu *>(QString::fromUtf8("好友菜单"));
        EXPECT_TRUE(menu->isVisible());
        menu->close();
    });
}

TEST(SmallHandlers, ExitEndsTheProgramAtOnceThroughTheCleanUp) {
    bool ended_inside = false;
    EXPECT_EQ(0, run_with_window([&](QWidget *w) {
        w->findChild<QAction *>(QString::fromUtf8("退出"))->trigger();
        ended_inside = main_window() == nullptr;
    }));
    EXPECT_TRUE(ended_inside);
    EXPECT_EQ(nullptr, runtime::globals().window_list.block());
}

TEST(SmallHandlers, HelpPageOpensBesideTheProgramInTheSystemsHandler) {
    UrlRecorder urls;
    run_with_window([](QWidget *w) { w->findChild<QAction *>(QString::fromUtf8("注册帮助"))->trigger(); });
    ASSERT_EQ(1, urls.opened.size());
    EXPECT_TRUE(urls.opened[0].isLocalFile());
    EXPECT_EQ(QCoreApplication::applicationDirPath() + QString::fromUtf8("/使用帮助.html"),
              urls.opened[0].toLocalFile());
}

TEST(SmallHandlers, ShoppingItemsOpenTheirLinksAndTwoShareOne) {
    UrlRecorder urls;
    const char *items[] = {"商城购物", "靓女商城", "淘宝皇冠店铺精选", "机票频道", "综合频道", "母婴频道", "电器城频道",
                           "秒杀及满立减", "美容频道", "韩版衣舍女", "瘦身官方", "男装牛逼", "韩都旗舰店"};
    run_with_window([&](QWidget *w) {
        for (const char *item : items) w->findChild<QAction *>(QString::fromUtf8(item))->trigger();
    });
    ASSERT_EQ(13, urls.opened.size());
    QSet<QUrl> distinct(urls.opened.begin(), urls.opened.end());
    EXPECT_EQ(12, distinct.size());
    EXPECT_EQ(urls.opened[9], urls.opened[12]);
    for (const QUrl &u : urls.opened) EXPECT_EQ("http", u.scheme()) << u.toString().toStdString();
}

}  // namespace
