// libFuzzer target: the captcha picture a service sends, converted by the
// kernel to the BMP the picture box shows. Whatever the bytes, the result is
// empty or a BMP of the bounded picture's size, never larger than the bounds
// allow.
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include "kernel/pictures.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QImage picture = tolvar::kernel::bounded_picture(bytes);
    QByteArray bmp = tolvar::kernel::picture_as_bmp(bytes);
    if (picture.isNull()) {
        FUZZ_CHECK(bmp.isEmpty());
        return 0;
    }
    FUZZ_CHECK(picture.width() <= 4096 && picture.height() <= 4096);
    FUZZ_CHECK(qint64(picture.width()) * picture.height() <= (4 << 20));
    FUZZ_CHECK(bmp.startsWith("BM"));
    FUZZ_CHECK(bmp.size() <= 54 + 4 * qint64(picture.width()) * picture.height() + 4 * picture.height());
    QImage shown = QImage::fromData(bmp, "BMP");
    FUZZ_CHECK(shown.size() == picture.size());
    return 0;
}
