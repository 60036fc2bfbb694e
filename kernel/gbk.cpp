#include "kernel/gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace tolvar::kernel {

QString from_gbk(std::string_view gbk) {
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(gbk.data(), static_cast<qsizetype>(gbk.size())));
}

QByteArray to_gbk(const QString &text) {
    QStringEncoder encoder("GBK");
    return encoder.encode(text);
}

}  // namespace tolvar::kernel
