#include "kernel/pictures.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

namespace tolvar::kernel {

namespace {

constexpr qsizetype kMaxFileBytes = 4 << 20;  // a captcha is a few hundred bytes
constexpr int kMaxSide = 4096;
constexpr qint64 kMaxPixels = 4 << 20;
constexpr int kAllocationLimitMb = 16;  // kMaxPixels at four bytes a pixel

bool accepted_format(const QByteArray &format) {
    return format == "png" || format == "gif" || format == "jpeg" || format == "bmp";
}

bool accepted_size(const QSize &size) {
    return size.isValid() && !size.isEmpty() && size.width() <= kMaxSide && size.height() <= kMaxSide &&
           qint64(size.width()) * size.height() <= kMaxPixels;
}

// The reader's allocation limit is process-wide: it is narrowed for one read only.
class AllocationLimit {
public:
    explicit AllocationLimit(int mb) : before_(QImageReader::allocationLimit()) {
        QImageReader::setAllocationLimit(mb);
    }
    ~AllocationLimit() { QImageReader::setAllocationLimit(before_); }

private:
    int before_;
};

// A PNG's chunks each lie within the file: the PNG library allocates a
// chunk's declared length before it reads the chunk, so a length beyond the
// file (a few hundred bytes claiming a gigabyte of text) would cost that much
// memory. Walked up to the end chunk; what follows it is not read.
bool png_chunks_within(const QByteArray &bytes) {
    static const char kSignature[] = "\x89PNG\r\n\x1a\n";
    if (!bytes.startsWith(QByteArray::fromRawData(kSignature, 8))) return true;  // not a PNG
    qsizetype at = 8;
    while (at + 12 <= bytes.size()) {
        auto byte = [&](qsizetype i) { return static_cast<quint32>(static_cast<uchar>(bytes[at + i])); };
        quint64 length = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
        if (length > static_cast<quint64>(bytes.size() - at - 12)) return false;
        bool end = bytes.mid(at + 4, 4) == "IEND";
        at += 12 + static_cast<qsizetype>(length);
        if (end) return true;
    }
    return at == bytes.size();
}

}  // namespace

QImage bounded_picture(const QByteArray &bytes) {
    if (bytes.isEmpty() || bytes.size() > kMaxFileBytes || !png_chunks_within(bytes)) return {};
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly)) return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    // The size is read from the picture's header, before anything is decoded.
    if (!accepted_format(reader.format()) || !accepted_size(reader.size())) return {};
    AllocationLimit limit(kAllocationLimitMb);
    QImage image;
    if (!reader.read(&image) || !accepted_size(image.size())) return {};
    return image;
}

QByteArray picture_as_bmp(const QByteArray &bytes) {
    QImage picture = bounded_picture(bytes);
    if (picture.isNull()) return {};
    QImage flat(picture.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, picture);
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    if (!flat.save(&buffer, "BMP")) return {};
    return out;
}

}  // namespace tolvar::kernel
