// The text of an HTML page from its bytes, decoded as a browser decodes it.
#pragma once

#include <QByteArray>
#include <QString>

namespace tolvar::kernel {

// The page's own declaration decides (a byte-order mark, else the charset
// of its content-type meta element); the labels of Simplified Chinese pages
// ("gb2312", "gbk", ...) mean GBK, as in browsers. UTF-8 when none is given.
QString decoded_page(const QByteArray &bytes);

}  // namespace tolvar::kernel
