#include "kernel/control_widgets.h"

#include <QApplication>
#include <QDesktopServices>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QFileInfo>
#include <QFrame>
#include <QProcess>
#include <QSignalBlocker>
#include <QUrl>
#ifdef TOLVAR_WEBENGINE
#include <QWebEnginePage>
#endif

#include "kernel/code_page_input.h"
#include "kernel/page_encoding.h"

namespace tolvar::kernel {

namespace {
constexpr int kTabStripHeight = 22;
}

TabControl::TabControl(const QStringList &titles, QWidget *parent) : QWidget(parent) {
    frame_ = new QFrame(this);
    frame_->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
    for (int i = 0; i < titles.size(); ++i) {
        auto *page = new QWidget(this);
        page->setObjectName(QString("page%1").arg(i));
        pages_.push_back(page);
    }
    bar_ = new QTabBar(this);
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    for (const auto &t : titles) bar_->addTab(t);
    bar_->raise();
    connect(bar_, &QTabBar::currentChanged, this, &TabControl::show_page);
    show_page(0);
}

QWidget *TabControl::page(int index) const {
    return index >= 0 && index < page_count() ? pages_[static_cast<size_t>(index)] : nullptr;
}

void TabControl::set_current(int index) {
    if (index >= 0 && index < page_count()) bar_->setCurrentIndex(index);
}

void TabControl::step(int delta) {
    int n = page_count();
    if (n > 0) set_current(((current() + delta) % n + n) % n);
}

// The page is shown before the others are hidden; focus on a page that goes
// moves to the tab strip first, as a click on a tab gives it there, so
// hiding a focused control never hands the focus (and its focus event) to
// whichever control comes next.
void TabControl::show_page(int index) {
    QWidget *focus = QApplication::focusWidget();
    for (int i = 0; i < page_count(); ++i)
        if (i != index && focus && pages_[static_cast<size_t>(i)]->isAncestorOf(focus)) bar_->setFocus(Qt::TabFocusReason);
    if (QWidget *shown = page(index)) shown->setVisible(true);
    for (int i = 0; i < page_count(); ++i)
        if (i != index) pages_[static_cast<size_t>(i)]->setVisible(false);
}

void TabControl::resizeEvent(QResizeEvent *) {
    bar_->setGeometry(2, 0, width() - 4, kTabStripHeight);
    frame_->setGeometry(0, kTabStripHeight - 1, width(), height() - kTabStripHeight + 1);
    for (QWidget *page : pages_) page->setGeometry(0, 0, width(), height());
    bar_->raise();
}

EditBox::EditBox(const QString &text, QWidget *parent) : QLineEdit(text, parent) {
    setValidator(new CodePageValidator(this));
}

MultiLineEditBox::MultiLineEditBox(int max_length, QWidget *parent) : QPlainTextEdit(parent), max_length_(max_length) {
    setTabChangesFocus(true);  // Tab moves on, as in a Windows dialog; it types no tab character
    connect(this, &QPlainTextEdit::textChanged, this, &MultiLineEditBox::enforce_max_length);
}

void MultiLineEditBox::enforce_max_length() {
    if (max_length_ <= 0) return;
    QString text = toPlainText();
    if (text.size() <= max_length_) return;
    // Refuse the input that went past the limit: keep the text before the caret
    // as far as it fits, and what followed the caret. The content-changed event
    // then fires once, for the text that stays.
    QSignalBlocker quiet(this);
    QTextCursor cursor = textCursor();
    int caret = cursor.position();
    int excess = static_cast<int>(text.size()) - max_length_;
    int cut_from = std::max(0, caret - excess);
    text.remove(cut_from, caret - cut_from);
    setPlainText(text.left(max_length_));
    cursor = textCursor();
    cursor.setPosition(std::min(cut_from, static_cast<int>(toPlainText().size())));
    setTextCursor(cursor);
}

// Typed, committed by an input method, pasted or dropped: each way in is
// checked before the text changes, so a refused character leaves the text,
// the caret and the undo history as they were.
void MultiLineEditBox::keyPressEvent(QKeyEvent *event) {
    if (!event->text().isEmpty() && !code_page_holds(event->text())) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void MultiLineEditBox::inputMethodEvent(QInputMethodEvent *event) {
    if (code_page_holds(event->commitString())) {
        QPlainTextEdit::inputMethodEvent(event);
        return;
    }
    QInputMethodEvent refused(event->preeditString(), event->attributes());
    QPlainTextEdit::inputMethodEvent(&refused);
}

void MultiLineEditBox::insertFromMimeData(const QMimeData *source) {
    if (source && source->hasText() && !code_page_holds(source->text())) return;
    QPlainTextEdit::insertFromMimeData(source);
}

void HyperlinkBox::open() const {
    if (!target.isEmpty()) open_address(target);
}

TimerControl::TimerControl(QWidget *parent) : QWidget(parent) {
    timer.setParent(this);
    timer.setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
    hide();
}

void TimerControl::set_interval(int milliseconds) {
    if (milliseconds <= 0) {
        timer.stop();
        return;
    }
    timer.start(milliseconds);
}

QUrl address_url(const QString &address) {
    return address.contains("://") ? QUrl(address) : QUrl::fromLocalFile(QFileInfo(address).absoluteFilePath());
}

#ifdef TOLVAR_WEBENGINE
namespace {
// Pages navigate inside the view only when the program sets an address; a
// link the user follows goes to the system's browser.
class ExternalLinksPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool main_frame) override {
        if (type == NavigationTypeLinkClicked) {
            open_address(url.toString(QUrl::FullyEncoded));
            return false;
        }
        return QWebEnginePage::acceptNavigationRequest(url, type, main_frame);
    }
    // A link with a target (a page's base target "_blank") asks for a window
    // of its own: a page that hands its first address to the system's browser
    // and goes.
    QWebEnginePage *createWindow(WebWindowType) override { return new NewWindowLink(this); }

private:
    class NewWindowLink : public QWebEnginePage {
    public:
        using QWebEnginePage::QWebEnginePage;
        bool acceptNavigationRequest(const QUrl &url, NavigationType, bool) override {
            open_address(url.toString(QUrl::FullyEncoded));
            deleteLater();
            return false;
        }
    };
};
}  // namespace

HtmlView::HtmlView(QWidget *parent) : QWebEngineView(parent) { setPage(new ExternalLinksPage(this)); }

void HtmlView::show_address(const QString &a) {
    address = a;
    setUrl(address_url(a));
}
#else
HtmlView::HtmlView(QWidget *parent) : QTextBrowser(parent) {
    // A followed link goes to the system's browser; the view itself stays on its page.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, [this](const QUrl &link) {
        open_address(source().resolved(link).toString(QUrl::FullyEncoded));
    });
    setFrameStyle(QFrame::NoFrame);
}

QVariant HtmlView::loadResource(int type, const QUrl &name) {
    QVariant resource = QTextBrowser::loadResource(type, name);
    if (type != QTextDocument::HtmlResource || resource.userType() != QMetaType::QByteArray) return resource;
    return decoded_page(resource.toByteArray());
}

bool HtmlView::focusNextPrevChild(bool next) {
    // Past QTextBrowser's own, which would stop at every link first.
    return QTextEdit::focusNextPrevChild(next);
}

void HtmlView::keyPressEvent(QKeyEvent *event) {
    if (event->modifiers() == Qt::NoModifier) {
        bool next = event->key() == Qt::Key_Down || event->key() == Qt::Key_Right;
        bool previous = event->key() == Qt::Key_Up || event->key() == Qt::Key_Left;
        if ((next || previous) && select_link(next)) {
            event->accept();
            return;
        }
    }
    // Return on a selected link opens it; the arrows scroll past the last one.
    QTextBrowser::keyPressEvent(event);
}

namespace {
struct LinkSpan {
    int start, end;
};

// The document's links in order, a link split over fragments counted once.
std::vector<LinkSpan> links_of(const QTextDocument *document) {
    std::vector<LinkSpan> out;
    QString last;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            QTextFragment fragment = it.fragment();
            QTextCharFormat format = fragment.charFormat();
            if (!fragment.isValid() || !format.isAnchor() || format.anchorHref().isEmpty()) continue;
            int start = fragment.position(), end = start + fragment.length();
            if (!out.empty() && out.back().end == start && format.anchorHref() == last) out.back().end = end;
            else out.push_back({start, end});
            last = format.anchorHref();
        }
    }
    return out;
}
}  // namespace

bool HtmlView::select_link(bool next) {
    QTextCursor cursor = textCursor();
    int from = next ? (cursor.hasSelection() ? cursor.selectionEnd() : cursor.position()) : cursor.selectionStart();
    std::vector<LinkSpan> links = links_of(document());
    const LinkSpan *chosen = nullptr;
    for (const LinkSpan &link : links) {
        if (next && link.start >= from) {
            chosen = &link;
            break;
        }
        if (!next && link.end <= from) chosen = &link;
    }
    if (!chosen) return false;
    cursor.setPosition(chosen->start);
    cursor.setPosition(chosen->end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
    ensureCursorVisible();
    return true;
}

void HtmlView::show_address(const QString &a) {
    address = a;
    QUrl url = address_url(a);
    if (url.isLocalFile()) {
        setSource(url);
        reload();
    } else {
        // A remote page is not fetched by the light view; it opens in the browser on a click.
        setHtml(QString("<a href=\"%1\">%1</a>").arg(a.toHtmlEscaped()));
    }
}
#endif

// Through the desktop's services; where the platform has none (a bare or
// offscreen session), through xdg-open directly. Either way the address is one
// argument of a program started without a shell, so no character in it is
// ever interpreted.
void open_address(const QString &address) {
    QUrl url = address_url(address);
    if (!url.isValid()) return;
    if (QDesktopServices::openUrl(url)) return;
    QProcess::startDetached("xdg-open", {url.toString(QUrl::FullyEncoded)});
}

}  // namespace tolvar::kernel
