// GBK texts <-> Qt strings, for the kernel's widgets and the user32 stand-in.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <string_view>

namespace tolvar::platform {

// One converter each per thread, kept: opening the code page by name costs
// more than converting a short text. Stateless, so no call sees another's rest.
inline QString from_gbk(std::string_view gbk) {
    thread_local QStringDecoder decoder("GBK", QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(gbk.data(), static_cast<qsizetype>(gbk.size())));
}

inline QByteArray to_gbk(const QString &text) {
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

}  // namespace tolvar::platform
