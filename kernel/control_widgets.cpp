#include "kernel/control_widgets.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QProcess>
#include <QSignalBlocker>
#include <QUrl>
#ifdef TOLVAR_WEBENGINE
#include <QWebEnginePage>
#endif

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

void TabControl::show_page(int index) {
    for (int i = 0; i < page_count(); ++i) pages_[static_cast<size_t>(i)]->setVisible(i == index);
}

void TabControl::resizeEvent(QResizeEvent *) {
    bar_->setGeometry(2, 0, width() - 4, kTabStripHeight);
    frame_->setGeometry(0, kTabStripHeight - 1, width(), height() - kTabStripHeight + 1);
    for (QWidget *page : pages_) page->setGeometry(0, 0, width(), height());
    bar_->raise();
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
