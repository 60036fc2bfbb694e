// The image-format converter library's command and the picture box, on the
// real kernel: every captcha format becomes a BMP; whatever is no picture, or
// too large to be one, gives an empty result and a cleared box.
#include <gtest/gtest.h>

#include <QLabel>

#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/pictures.h"

using namespace tolvar;
using namespace tolvar::test;

namespace {

// The command's result for these bytes, as bytes.
std::string as_bmp(const std::string &bytes) {
    runtime::ByteSet in = runtime::new_bytes(bytes.data(), static_cast<uint32_t>(bytes.size()));
    return std::string(runtime::bytes_view(runtime::picture_as_bmp(in.get())));
}

QImage decoded_bmp(const std::string &bmp) {
    QImage image;
    image.loadFromData(QByteArray::fromStdString(bmp), "BMP");
    return image;
}

TEST(PictureConversion, EachCaptchaFormatBecomesABmpOfTheSamePicture) {
    struct Case {
        std::string bytes;
        QSize size;
        QColor color;
    };
    std::vector<Case> cases = {
        {picture_file("PNG", {58, 28}, Qt::blue), {58, 28}, Qt::blue},
        {picture_file("JPEG", {40, 20}, Qt::white, 100), {40, 20}, Qt::white},
        {picture_file("BMP", {30, 10}, Qt::green), {30, 10}, Qt::green},
        {red_gif(), {1, 1}, Qt::red},
        // Transparent pixels come out white, not black.
        {picture_file("PNG", {8, 8}, Qt::transparent), {8, 8}, Qt::white},
    };
    in_program([&] {
        for (const Case &c : cases) {
            std::string bmp = as_bmp(c.bytes);
            ASSERT_EQ("BM", bmp.substr(0, 2));
            QImage image = decoded_bmp(bmp);
            EXPECT_EQ(c.size, image.size());
            EXPECT_EQ(c.color.rgb(), image.pixelColor(0, 0).rgb()) << image.pixelColor(0, 0).name().toStdString();
        }
    });
}

TEST(PictureConversion, WhatIsNoPictureOrTooLargeGivesNothing) {
    std::string png = picture_file("PNG", {58, 28}, Qt::blue);
    std::vector<std::pair<std::string, std::string>> refused = {
        {"empty", ""},
        {"an error page", "<html><body>500 Internal Server Error</body></html>"},
        {"a truncated PNG", png.substr(0, png.size() / 2)},
        {"a PNG behind 4 MiB of padding", png + std::string(5 << 20, '\0')},
        {"a bomb of 5000 x 5000 pixels", black_png(5000, 5000)},
        {"a BMP header claiming 30000 x 30000", oversized_bmp_header(30000, 30000)},
        {"an XPM picture", "/* XPM */\nstatic char *x[] = {\"1 1 1 1\", \"a c #ff0000\", \"a\"};\n"},
        {"zero bytes", std::string(1000, '\0')},
    };
    in_program([&] {
        EXPECT_FALSE(as_bmp(black_png(64, 32)).empty());  // the bomb's maker makes real pictures
        for (const auto &[what, bytes] : refused) EXPECT_EQ(0u, as_bmp(bytes).size()) << what;
    });
}

TEST(PictureConversion, ThePictureBoxShowsAPictureAndAnythingElseClearsIt) {
    run_with_window([](QWidget *w) {
        auto *box = find<QLabel>(w, "图片框1");
        auto show = [](const std::string &bytes) {
            runtime::set_picture(runtime::图片框1,
                                 runtime::new_bytes(bytes.data(), static_cast<uint32_t>(bytes.size())).get());
        };
        show(picture_file("BMP", {58, 28}, Qt::red));
        EXPECT_EQ(QSize(58, 28), box->pixmap().size());
        show(black_png(5000, 5000));
        EXPECT_TRUE(box->pixmap().isNull());
        show(picture_file("PNG", {20, 20}, Qt::red));
        EXPECT_EQ(QSize(20, 20), box->pixmap().size());
        show("");
        EXPECT_TRUE(box->pixmap().isNull());
    });
}

}  // namespace
