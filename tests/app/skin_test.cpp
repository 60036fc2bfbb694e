// The skin: program directory + "\44.se" read whole and handed to the
// SkinH_EL stand-in, which styles the application with it when it is a Qt
// style sheet and leaves the plain look for anything else.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QStringEncoder>

#include "tests/app/app_support.h"

namespace fs = std::filesystem;
using namespace tolvar;
using namespace tolvar::test;

namespace {

QRgb centre_of(QWidget *w) {
    QImage image = w->grab().toImage();
    return image.pixel(image.width() / 2, 3);
}

struct Look {
    QString sheet;  // the application's style sheet while the program ran
    QRgb button = 0;  // a pixel of 按钮1's face
};

Look look_with_skin(const std::string *skin) {
    ScratchDir folder;
    if (skin) write_file(folder.path() / "44.she", *skin);
    Look look;
    run_in(folder.path(), [&](QWidget *w) {
        look.sheet = qApp->styleSheet();
        look.button = centre_of(find(w, "按钮1"));
    });
    return look;
}

const std::string kGreenButtons = "QPushButton { background: rgb(0, 200, 0); border: none; }\n";

TEST(Skin, AStyleSheetInUtf8OrGbkStylesTheWindow) {
    Look green = look_with_skin(&kGreenButtons);
    EXPECT_EQ(QString::fromStdString(kGreenButtons), green.sheet);
    EXPECT_EQ(qRgb(0, 200, 0), green.button);
    // Selectors naming controls by their Chinese names, in a GBK file.
    std::string gbk_sheet = gbk("QPushButton#按钮1 { background: rgb(0, 0, 200); border: none; } /* 皮肤 */");
    Look blue = look_with_skin(&gbk_sheet);
    EXPECT_EQ(qRgb(0, 0, 200), blue.button);
    std::string utf8_sheet = "\xEF\xBB\xBFQPushButton#按钮1 { background: rgb(200, 0, 0); border: none; }";
    EXPECT_EQ(qRgb(200, 0, 0), look_with_skin(&utf8_sheet).button);
}

TEST(Skin, WhatIsNoStyleSheetLeavesThePlainLook) {
    Look plain = look_with_skin(nullptr);
    EXPECT_EQ("", plain.sheet);
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 7919) & 0xFF);
    const std::vector<std::pair<const char *, std::string>> cases = {
        {"empty", ""},
        {"blanks", " \r\n\t"},
        {"binary", binary},
        {"a zero byte", std::string("QPushButton { background: rgb(0, 200, 0); }\0x", 46)},
        {"a control character", "QPushButton { background: rgb(0, 200, 0); }\x01"},
        {"an unbalanced rule", "QPushButton { background: rgb(0, 200, 0); }}} {"},
        {"declarations without a selector", "background: rgb(0, 200, 0);"},
        {"a file name", "file:///dev/zero"},
        {"neither UTF-8 nor GBK", "QPushButton { background: rgb(0, 200, 0); } /* \x81\x20\x81 */"},
        {"too large", kGreenButtons + std::string(2 << 20, ' ')},
    };
    for (const auto &[what, skin] : cases) {
        SCOPED_TRACE(what);
        Look look = look_with_skin(&skin);
        EXPECT_EQ("", look.sheet);
        EXPECT_EQ(plain.button, look.button);
    }
}

TEST(Skin, EachStartDecidesTheLookAnewAMissingFileIncluded) {
    EXPECT_EQ(qRgb(0, 200, 0), look_with_skin(&kGreenButtons).button);
    Look after = look_with_skin(nullptr);
    EXPECT_EQ("", after.sheet);
    EXPECT_NE(qRgb(0, 200, 0), after.button);
}

TEST(Skin, TheShippedSkinLiesBesideTheProgramAndIsAStyleSheet) {
    std::string shipped = read_file(fs::path(TOLVAR_BIN) / "44.she");
    EXPECT_EQ(read_file(fs::path(TOLVAR_SOURCE_DIR) / "assets/44.she"), shipped);
    ASSERT_FALSE(shipped.empty());
    Look look = look_with_skin(&shipped);
    EXPECT_FALSE(look.sheet.isEmpty());
}

}  // namespace
