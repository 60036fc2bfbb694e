// Pictures that come from outside (a service's reply handed over by the
// program), decoded within fixed bounds so that no file can make the window
// stall or run out of memory.
#pragma once

#include <QByteArray>
#include <QImage>

namespace tolvar::kernel {

// The PNG, GIF, JPEG or BMP picture the bytes hold; a null image when they
// hold none of these, are damaged, or would be larger than a window shows.
QImage bounded_picture(const QByteArray &bytes);

// The same picture as a BMP file's bytes, drawn over white; empty when the
// bytes hold no such picture.
QByteArray picture_as_bmp(const QByteArray &bytes);

}  // namespace tolvar::kernel
