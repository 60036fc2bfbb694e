// One widget class per control kind, placed in absolute pixels as the form
// says. Each kind keeps the little state its Windows counterpart has (a
// hyperlink target, a timer interval, a maximum length).
#pragma once

#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#ifdef TOLVAR_WEBENGINE
#include <QWebEngineView>
#endif

namespace tolvar::kernel {

// A tab control as Windows has it: its pages are as large as the control
// itself, so a child's place counts from the control's corner, strip included.
class TabControl : public QWidget {
    Q_OBJECT
public:
    TabControl(const QStringList &titles, QWidget *parent);
    QWidget *page(int index) const;
    int page_count() const { return static_cast<int>(pages_.size()); }
    int current() const { return bar_->currentIndex(); }
    void set_current(int index);
    // The page `delta` pages on, round the end (Ctrl+Tab, Ctrl+PgDown and back).
    void step(int delta);
    QTabBar *bar() const { return bar_; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void show_page(int index);
    QTabBar *bar_;
    QFrame *frame_;
    std::vector<QWidget *> pages_;
};

class GroupBox : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;
};

class Label : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

class Button : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

// A single-line edit box; it refuses input the local code page cannot hold.
class EditBox : public QLineEdit {
    Q_OBJECT
public:
    EditBox(const QString &text, QWidget *parent);
};

// A multi-line edit box; a maximum length refuses what would pass it, and
// input the local code page cannot hold is refused whole.
class MultiLineEditBox : public QPlainTextEdit {
    Q_OBJECT
    Q_PROPERTY(int maxLength READ max_length)
public:
    MultiLineEditBox(int max_length, QWidget *parent);
    int max_length() const { return max_length_; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void insertFromMimeData(const QMimeData *source) override;

private:
    void enforce_max_length();
    int max_length_;  // 0: unlimited
};

// Items of one height, as a Windows list box has them, so laying out a long
// list does not measure every item.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent) : QListWidget(parent) { setUniformItemSizes(true); }
};

class PictureBox : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
};

// Never shown here: it holds a target and opens it in the system's handler.
class HyperlinkBox : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QString target;
    void open() const;
};

// A timer as a control: an invisible widget owning a QTimer.
class TimerControl : public QWidget {
    Q_OBJECT
public:
    explicit TimerControl(QWidget *parent);
    QTimer timer;
    void set_interval(int milliseconds);
};

#ifdef TOLVAR_WEBENGINE
// The web-engine HTML view: page scripts run; a followed link opens in the
// system's browser, and no page reaches the program (no web channel).
class HtmlView : public QWebEngineView {
#else
// The light HTML view: no page script runs, links open in the system's browser.
class HtmlView : public QTextBrowser {
#endif
    Q_OBJECT
public:
    explicit HtmlView(QWidget *parent);
    void show_address(const QString &address);
    QString address;
#ifndef TOLVAR_WEBENGINE

protected:
    // A page's bytes decoded by its own charset declaration.
    QVariant loadResource(int type, const QUrl &name) override;
    // Tab leaves the view in one step; the arrow keys walk its links.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // Selects the next (or previous) link after the current one; false when there is none.
    bool select_link(bool next);
#endif
};

// Opens an address in the system's handler (never through a shell).
void open_address(const QString &address);
// An address as a URL: a path without a scheme is a local file.
QUrl address_url(const QString &address);

}  // namespace tolvar::kernel
