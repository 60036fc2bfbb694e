#include "kernel/page_encoding.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace tolvar::kernel {

namespace {

// Browsers look for the declaration in the page's first 1,024 bytes.
constexpr qsizetype kSniffedBytes = 1024;

QString declared_charset(const QByteArray &bytes) {
    static const QRegularExpression charset(R"(<meta[^>]*charset\s*=\s*["']?\s*([A-Za-z0-9_:.\-]+))",
                                            QRegularExpression::CaseInsensitiveOption);
    QRegularExpressionMatch m = charset.match(QString::fromLatin1(bytes.left(kSniffedBytes)));
    return m.hasMatch() ? m.captured(1).toLower() : QString();
}

bool is_gbk_label(const QString &label) {
    static const QStringList labels = {"gb2312", "gbk", "x-gbk", "gb_2312", "gb_2312-80", "chinese", "csgb2312",
                                       "csiso58gb231280", "iso-ir-58", "cp936", "windows-936", "ms936"};
    return labels.contains(label);
}

}  // namespace

QString decoded_page(const QByteArray &bytes) {
    if (auto bom = QStringConverter::encodingForData(bytes)) return QStringDecoder(*bom).decode(bytes);
    QString label = declared_charset(bytes);
    if (is_gbk_label(label)) return QStringDecoder("GBK").decode(bytes);
    if (!label.isEmpty()) {
        QStringDecoder decoder(label.toLatin1().constData());
        if (decoder.isValid()) return decoder.decode(bytes);
    }
    return QStringDecoder(QStringConverter::Utf8).decode(bytes);
}

}  // namespace tolvar::kernel
