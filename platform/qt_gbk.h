// GBK texts <-> Qt strings, for the kernel's widgets and the user32 stand-in.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <string_view>

namespace tolvar::platform {

inline QString from_gbk(std::string_view gbk) {
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(gbk.data(), static_cast<qsizetype>(gbk.size())));
}

inline QByteArray to_gbk(const QString &text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

}  // namespace tolvar::platform
