// Picture files for tests: small pictures of each format the captcha may come
// in, and hostile ones (damaged, oversized, decompression bombs).
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QtEndian>
#include <string>

namespace tolvar::test {

// A picture of `size` in one colour, in a format Qt writes ("PNG", "JPEG", "BMP").
inline std::string picture_file(const char *format, QSize size, QColor color, int quality = -1) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, quality);
    return bytes.toStdString();
}

// A 1x1 GIF whose one pixel is pure red (Qt reads GIF but does not write it).
inline std::string red_gif() {
    static const unsigned char gif[] = {
        0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00, 0x00, 0xFF, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2C, 0x00, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3B};
    return std::string(reinterpret_cast<const char *>(gif), sizeof gif);
}

inline uint32_t png_crc(const std::string &bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::string png_chunk(const std::string &type, const std::string &data) {
    auto be32 = [](uint32_t v) {
        char b[4];
        qToBigEndian(v, b);
        return std::string(b, 4);
    };
    return be32(static_cast<uint32_t>(data.size())) + type + data + be32(png_crc(type + data));
}

// A whole, valid black RGB PNG of width x height whose file is small: its
// zero rows compress to almost nothing (a decompression bomb when large).
inline std::string black_png(uint32_t width, uint32_t height) {
    std::string header(13, '\0');
    qToBigEndian(width, header.data());
    qToBigEndian(height, header.data() + 4);
    header[8] = 8;  // bits per sample
    header[9] = 2;  // RGB
    QByteArray rows(static_cast<qsizetype>(height) * (1 + 3 * width), '\0');
    QByteArray zlib = qCompress(rows, 1).mid(4);  // without Qt's length prefix
    return std::string("\x89PNG\r\n\x1a\n", 8) + png_chunk("IHDR", header) + png_chunk("IDAT", zlib.toStdString()) +
           png_chunk("IEND", "");
}

// A BMP header that claims width x height pixels, with almost no pixel data.
inline std::string oversized_bmp_header(int32_t width, int32_t height) {
    std::string bmp = picture_file("BMP", QSize(2, 2), Qt::black);
    qToLittleEndian(width, bmp.data() + 18);
    qToLittleEndian(height, bmp.data() + 22);
    return bmp;
}

}  // namespace tolvar::test
