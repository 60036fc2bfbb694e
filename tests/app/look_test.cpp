// The window's look, with the shipped skin and without a skin: a disabled
// control is drawn greyed, and the multi-line box has the frame of the
// single-line boxes.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>

#include "tests/app/app_support.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

// Pixels dark enough to be enabled text (black on the button's face).
int dark_pixels(QWidget *w) {
    QImage image = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += qGray(image.pixel(x, y)) < 80;
    return n;
}

// The darkest grey of the two outermost pixel lines at the middle of each
// edge: top, bottom, left, right.
std::array<int, 4> edge_greys(QWidget *w) {
    QImage image = w->grab().toImage();
    int cx = image.width() / 2, cy = image.height() / 2, r = image.width() - 1, b = image.height() - 1;
    auto darkest = [&](QPoint a, QPoint c) { return std::min(qGray(image.pixel(a)), qGray(image.pixel(c))); };
    return {darkest({cx, 0}, {cx, 1}), darkest({cx, b}, {cx, b - 1}), darkest({0, cy}, {1, cy}),
            darkest({r, cy}, {r - 1, cy})};
}

class Look : public testing::TestWithParam<bool> {
protected:
    // Runs the program in a fresh folder, with the shipped skin beside it or without.
    void run(const std::function<void(QWidget *)> &drive) {
        ScratchDir folder;
        if (GetParam()) fs::copy_file(fs::path(TOLVAR_SOURCE_DIR) / "assets/44.she", folder.path() / "44.she");
        run_in(folder.path(), [&](QWidget *w) {
            EXPECT_EQ(GetParam(), !qApp->styleSheet().isEmpty());
            drive(w);
        });
    }
};

TEST_P(Look, ADisabledButtonIsNotDrawnInTheEnabledTextColour) {
    run([](QWidget *w) {
        w->findChild<QTabBar *>()->setCurrentIndex(1);
        auto *login = find<QPushButton>(w, "按钮1");
        auto *minutes = find<QPushButton>(w, "按钮2");
        ASSERT_FALSE(minutes->isEnabled());  // before a login
        QPalette p = minutes->palette();
        EXPECT_NE(p.color(QPalette::Active, QPalette::ButtonText), p.color(QPalette::Disabled, QPalette::ButtonText));
        EXPECT_GT(dark_pixels(login), 20);
        EXPECT_EQ(0, dark_pixels(minutes));
        // Enabled, it draws its text as 按钮1 does.
        minutes->setEnabled(true);
        EXPECT_GT(dark_pixels(minutes), 20);
    });
}

TEST_P(Look, AControlOfItsOwnColourIsGreyedWhenDisabled) {
    run([](QWidget *w) {
        w->findChild<QTabBar *>()->setCurrentIndex(1);
        auto *status = find<QLabel>(w, "标签1");  // blue text
        QPalette p = status->palette();
        EXPECT_EQ(QColor(Qt::blue), p.color(QPalette::Active, QPalette::WindowText));
        EXPECT_EQ(QColor(Qt::blue), p.color(QPalette::Inactive, QPalette::WindowText));
        EXPECT_NE(QColor(Qt::blue), p.color(QPalette::Disabled, QPalette::WindowText));
    });
}

TEST_P(Look, TheMultiLineBoxShowsAllFourFrameEdgesAsASingleLineBoxDoes) {
    run([](QWidget *w) {
        w->findChild<QTabBar *>()->setCurrentIndex(2);
        auto *message = find<QPlainTextEdit>(w, "编辑框5");
        // Page 4 sends a member who is not logged in back with a message box.
        find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！"));
        w->findChild<QTabBar *>()->setCurrentIndex(3);
        auto *owner = find<QLineEdit>(w, "编辑框8");
        for (int grey : edge_greys(owner)) EXPECT_LT(grey, 225);
        std::array<int, 4> edges = edge_greys(message);
        for (int grey : edges) EXPECT_LT(grey, 225);
        // Bottom and right edges as dark as top and left.
        EXPECT_LT(std::abs(edges[0] - edges[1]), 30);
        EXPECT_LT(std::abs(edges[2] - edges[3]), 30);
    });
}

INSTANTIATE_TEST_SUITE_P(SkinAndPlain, Look, testing::Bool(),
                         [](const testing::TestParamInfo<bool> &i) { return i.param ? "WithSkin" : "Plain"; });

}  // namespace
