// SkinH_EL stand-in: a skin file is a Qt style sheet, UTF-8 or GBK text, and
// attaching it styles the whole application. Whatever is not such a sheet
// (no bytes, binary bytes, text Qt's style-sheet parser refuses, a sheet too
// large to be one) leaves the plain look: each attach decides the look anew.
#include <QApplication>
#include <QStringDecoder>
#include <QtGui/private/qcssparser_p.h>

#include "platform/stand_in.h"

namespace {

constexpr int kLargestSkin = 1 << 20;

// A text of blanks and printable characters only: no zero bytes, no other
// control characters, nothing that failed to decode.
bool is_plain_text(const QString &text) {
    for (QChar c : text) {
        char16_t u = c.unicode();
        if ((u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f') || u == 0x7F || u == 0xFFFD) return false;
    }
    return true;
}

QString decoded(QByteArrayView bytes, const char *encoding) {
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    return decoder.hasError() ? QString() : text;
}

// The skin's text: UTF-8 (a byte-order mark dropped) when it decodes as
// such, else GBK; empty when it is no text.
QString skin_text(const void *bytes, int count) {
    if (!bytes || count <= 0 || count > kLargestSkin) return {};
    QByteArrayView view(static_cast<const char *>(bytes), count);
    if (view.startsWith("\xEF\xBB\xBF")) view = view.sliced(3);
    QString text = decoded(view, "UTF-8");
    if (text.isNull()) text = decoded(view, "GBK");
    return is_plain_text(text) ? text : QString();
}

// The sheet as Qt reads an application's sheet, parsed by the same parser.
// A sheet Qt would take for a file name ("file:///...") is not a skin.
bool parses(const QString &sheet) {
    if (sheet.trimmed().isEmpty() || sheet.startsWith(QLatin1String("file:///"))) return false;
    QCss::Parser parser(sheet);
    QCss::StyleSheet parsed;
    return parser.parse(&parsed);
}

// The kernel may unload the stand-in between runs: whether the application's
// sheet is a skin is kept on the application itself.
constexpr const char *kSkinProperty = "tolvar_skin";

}  // namespace

// Returns 1 when the skin was put on, 0 when the plain look stays.
STANDIN_FUNCTION(int, SkinH_AttachRes, (const void *bytes, int count, LPCSTR, int, int, int)) {
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app) return 0;
    QString sheet = skin_text(bytes, count);
    if (parses(sheet)) {
        app->setStyleSheet(sheet);
        app->setProperty(kSkinProperty, true);
        return 1;
    }
    if (app->property(kSkinProperty).toBool()) app->setStyleSheet(QString());
    app->setProperty(kSkinProperty, false);
    return 0;
}
STANDIN_FUNCTION_END(0)
