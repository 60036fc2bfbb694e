// Edit boxes hold only what the local code page (GBK) can hold: the program
// reads a box's text in that code page, so a character it cannot hold would
// be sent as "?" without a word. Such input is refused as a box refuses input
// past its maximum length: the text stays as it was.
#pragma once

#include <QString>
#include <QValidator>

namespace tolvar::kernel {

// Whether every character of `text` comes back unchanged from the code page.
bool code_page_holds(const QString &text);

// For single-line boxes: an edit whose result the code page cannot hold is refused.
class CodePageValidator : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString &input, int &position) const override;
};

}  // namespace tolvar::kernel
