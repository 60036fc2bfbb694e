// GBK texts of the program <-> Qt strings, at the widget boundary.
#pragma once

#include <QByteArray>
#include <QString>
#include <string_view>

namespace tolvar::kernel {

QString from_gbk(std::string_view gbk);
QByteArray to_gbk(const QString &text);

}  // namespace tolvar::kernel
