// The image-format converter library's command and the picture box, on the
// real kernel: every captcha format becomes a BMP; whatever is no picture, or
// too large to be one, gives an empty result and a cleared box.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <QLabel>
#include <cstdlib>

#include "runtime/controls.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "tests/support/kernel_harness.h"
#include "tests/support/pictures.h"
#include "tests/support/process.h"

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

// A small valid PNG with a text chunk after its data that declares 1 GiB and
// holds 11 bytes: the PNG library allocates a chunk's declared length before
// it finds the file too short.
std::string gigabyte_chunk_png() {
    std::string png = picture_file("PNG", {58, 28}, Qt::blue);
    return png.substr(0, png.size() - 12) + std::string("\x40\0\0\0", 4) + "tEXtdate:create" + png_chunk("IEND", "");
}

// The peak resident memory (KiB) of this test program converting the picture
// in `file` in a process of its own (the disabled test below).
long conversion_peak_kib(const std::string &file) {
    std::string filter = "--gtest_filter=PictureConversion.DISABLED_ConvertsTheFileNamedInItsEnvironment";
    std::string also = "--gtest_also_run_disabled_tests";
    std::string self = std::filesystem::read_symlink("/proc/self/exe");
    char *argv[] = {self.data(), filter.data(), also.data(), nullptr};
    setenv("TOLVAR_PICTURE_FILE", file.c_str(), 1);
    pid_t pid;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    unsetenv("TOLVAR_PICTURE_FILE");
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

TEST(PictureConversion, DISABLED_ConvertsTheFileNamedInItsEnvironment) {
    const char *file = std::getenv("TOLVAR_PICTURE_FILE");
    ASSERT_NE(nullptr, file);
    std::string bytes = read_file(file);
    in_program([&] { as_bmp(bytes); });
}

// A captcha that declares more than it holds costs no more memory than a
// real one: measured against converting a real picture, in the same run.
TEST(PictureConversion, APngChunkLongerThanItsFileCostsNoMoreThanARealPicture) {
    ScratchDir folder;
    write_file(folder.path() / "real.png", picture_file("PNG", {58, 28}, Qt::blue));
    write_file(folder.path() / "claims.png", gigabyte_chunk_png());
    long real = conversion_peak_kib((folder.path() / "real.png").string());
    long claims = conversion_peak_kib((folder.path() / "claims.png").string());
    ASSERT_GT(real, 0);
    ASSERT_GT(claims, 0);
    EXPECT_LT(claims, real + 64 * 1024) << "peak " << claims << " KiB against " << real << " KiB";
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
        {"a PNG chunk longer than the file", gigabyte_chunk_png()},
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
