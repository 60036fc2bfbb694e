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

}  // namespace

QImage bounded_picture(const QByteArray &bytes) {
    if (bytes.isEmpty() || bytes.size() > kMaxFileBytes) return {};
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
