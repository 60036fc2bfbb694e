#include "kernel/code_page_input.h"

#include <algorithm>

#include "platform/qt_gbk.h"

namespace tolvar::kernel {

bool code_page_holds(const QString &text) {
    // A round trip: characters without a code (emoji, characters outside the
    // basic plane, lone surrogates) come back as "?", best-fit mappings as
    // another character, and ignorable ones not at all.
    bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii) return true;
    QByteArray bytes = platform::to_gbk(text);
    return platform::from_gbk(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))) == text;
}

QValidator::State CodePageValidator::validate(QString &input, int &) const {
    return code_page_holds(input) ? Acceptable : Invalid;
}

}  // namespace tolvar::kernel
