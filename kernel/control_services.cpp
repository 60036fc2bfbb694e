// Properties and kernel commands of the window and its controls, reached by id.
#include "kernel/control_services.h"

#include <QApplication>
#include <QCursor>
#include <QMessageBox>
#include <QPixmap>
#include <QTextCursor>

#include "kernel/busy_cursor.h"
#include "kernel/control_widgets.h"
#include "kernel/kernel_state.h"
#include "kernel/pictures.h"
#include "kernel/values.h"

namespace tolvar::kernel {

namespace {

// Windows keeps line breaks of multi-line texts as CR LF; Qt shows LF.
QString shown(const QString &text) { return QString(text).replace("\r\n", "\n"); }
QString stored(const QString &text) { return QString(text).replace("\n", "\r\n"); }

// A label, a line or two on screen, keeps at most this many characters: a
// whole page put into a caption would take seconds to lay out.
constexpr qsizetype kMaxLabelText = 4096;

QString text_of(QWidget *w) {
    if (auto *e = qobject_cast<QLineEdit *>(w)) return e->text();
    if (auto *e = qobject_cast<QPlainTextEdit *>(w)) return stored(e->toPlainText());
    if (auto *l = qobject_cast<QLabel *>(w)) return stored(l->text());
    if (auto *b = qobject_cast<QAbstractButton *>(w)) return b->text();
    if (auto *g = qobject_cast<QGroupBox *>(w)) return g->title();
    return {};
}

void set_text_of(QWidget *w, const QString &text) {
    if (auto *e = qobject_cast<QLineEdit *>(w)) e->setText(text);
    else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) e->setPlainText(shown(text));
    else if (auto *l = qobject_cast<QLabel *>(w)) l->setText(shown(text.left(kMaxLabelText)));
    else if (auto *b = qobject_cast<QAbstractButton *>(w)) b->setText(text);
    else if (auto *g = qobject_cast<QGroupBox *>(w)) g->setTitle(text);
}

void append_text_of(QWidget *w, const QString &text) {
    if (auto *e = qobject_cast<QLineEdit *>(w)) {
        e->end(false);
        e->insert(text);
    } else if (auto *e = qobject_cast<QPlainTextEdit *>(w)) {
        QTextCursor cursor = e->textCursor();
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(shown(text));
        e->setTextCursor(cursor);
    } else {
        set_text_of(w, text_of(w) + text);
    }
}

QWidget *control_widget(const MainWindow &window, uint32_t object) {
    const MainWindow::Control *c = window.control(object);
    return c ? c->widget : nullptr;
}

// A list item shows at most this many characters, so a huge item text (a
// damaged file's line) cannot hold the window while it is laid out; the
// whole text stays the item's and is what the program reads back.
constexpr int kShownItemLength = 1024;
constexpr int kWholeTextRole = Qt::UserRole + 1;

// The item is made whole before it joins the list: an item made inside the
// list costs time in proportion to the list's length.
void add_list_item(QListWidget *list, const QString &text, int32_t value) {
    auto *item = new QListWidgetItem(text.left(kShownItemLength));
    item->setData(Qt::UserRole, value);
    if (text.size() > kShownItemLength) item->setData(kWholeTextRole, text);
    list->addItem(item);
}

QString item_text(const QListWidgetItem *item) {
    QVariant whole = item->data(kWholeTextRole);
    return whole.isValid() ? whole.toString() : item->text();
}

bool is_window(uint32_t object) { return object == TOLVAR_WINDOW_OBJECT || object == TOLVAR_MAIN_WINDOW; }

// The object id of a control reference argument.
uint32_t object_of(const tolvar_arg &reference) { return reference.high; }

}  // namespace

tolvar_arg control_property(MainWindow &window, uint32_t object, uint32_t property) {
    QWidget *w = is_window(object) ? &window : control_widget(window, object);
    if (!w) return no_value();
    switch (property) {
        case TOLVAR_PROP_DISABLED: return int_value(w->isEnabled() ? 0 : 1);
        case TOLVAR_PROP_TEXT: return text_value(w == &window ? window.windowTitle() : text_of(w));
        case TOLVAR_PROP_PICTURE: return bytes_value(w->property("tolvar_picture").toByteArray());
        case TOLVAR_PROP_ADDRESS:
            if (auto *h = qobject_cast<HtmlView *>(w)) return text_value(h->address);
            if (auto *l = qobject_cast<HyperlinkBox *>(w)) return text_value(l->target);
            return text_value({});
        case TOLVAR_PROP_PAGE:
            if (auto *t = qobject_cast<TabControl *>(w)) return int_value(t->current());
            return int_value(0);
        case TOLVAR_PROP_CURRENT_ITEM:
            if (auto *l = qobject_cast<QListWidget *>(w)) return int_value(l->currentRow());
            return int_value(-1);
        default: return no_value();
    }
}

void set_control_property(MainWindow &window, uint32_t object, uint32_t property, const tolvar_arg &value) {
    QWidget *w = is_window(object) ? &window : control_widget(window, object);
    if (!w) return;
    switch (property) {
        case TOLVAR_PROP_DISABLED: w->setEnabled(value.low == 0); break;
        case TOLVAR_PROP_TEXT:
            if (w == &window) window.setWindowTitle(text_arg(value));
            else set_text_of(w, text_arg(value));
            break;
        case TOLVAR_PROP_PICTURE:
            if (auto *p = qobject_cast<PictureBox *>(w)) {
                QByteArray bytes = bytes_arg(value);
                QImage picture = bounded_picture(bytes);
                if (!picture.isNull()) p->setPixmap(QPixmap::fromImage(picture));
                else p->clear();
                p->setProperty("tolvar_picture", bytes);
            }
            break;
        case TOLVAR_PROP_ADDRESS:
            if (auto *h = qobject_cast<HtmlView *>(w)) h->show_address(text_arg(value));
            else if (auto *l = qobject_cast<HyperlinkBox *>(w)) l->target = text_arg(value);
            break;
        case TOLVAR_PROP_PAGE:
            if (auto *t = qobject_cast<TabControl *>(w)) t->set_current(int_arg(value));
            break;
        case TOLVAR_PROP_CURRENT_ITEM:
            if (auto *l = qobject_cast<QListWidget *>(w)) l->setCurrentRow(int_arg(value));
            break;
        default: break;
    }
}

tolvar_arg control_command(MainWindow *window, uint32_t command, int32_t count, const tolvar_arg *args) {
    auto arg = [&](int32_t i) { return i < count ? args[i] : no_value(); };
    QWidget *w = window && count > 0 ? control_widget(*window, object_of(args[0])) : nullptr;
    switch (command) {
        case TOLVAR_KCMD_MESSAGE_BOX: {
            if (state().quit_requested) return int_value(1);  // the window is gone: nobody is there to answer
            QMessageBox box(QMessageBox::NoIcon, window ? window->windowTitle() : QString(), text_arg(arg(0)),
                            QMessageBox::Ok, window);
            NormalCursorScope normal_cursor;
            box.exec();
            return int_value(1);
        }
        case TOLVAR_KCMD_APPEND_TEXT:
            if (w) append_text_of(w, text_arg(arg(1)));
            return no_value();
        case TOLVAR_KCMD_SET_FOCUS:
            if (w) {
                w->window()->activateWindow();
                w->setFocus(Qt::OtherFocusReason);
            }
            return no_value();
        case TOLVAR_KCMD_LIST_ADD:
            if (auto *l = qobject_cast<QListWidget *>(w)) add_list_item(l, text_arg(arg(1)), int_arg(arg(2)));
            return no_value();
        case TOLVAR_KCMD_LIST_CLEAR:
            if (auto *l = qobject_cast<QListWidget *>(w)) l->clear();
            return no_value();
        case TOLVAR_KCMD_LIST_ITEM_TEXT: {
            auto *l = qobject_cast<QListWidget *>(w);
            QListWidgetItem *item = l ? l->item(int_arg(arg(1))) : nullptr;
            return text_value(item ? item_text(item) : QString());
        }
        case TOLVAR_KCMD_LIST_ITEM_VALUE: {
            auto *l = qobject_cast<QListWidget *>(w);
            QListWidgetItem *item = l ? l->item(int_arg(arg(1))) : nullptr;
            return int_value(item ? item->data(Qt::UserRole).toInt() : 0);
        }
        case TOLVAR_KCMD_LIST_COUNT: {
            auto *l = qobject_cast<QListWidget *>(w);
            return int_value(l ? l->count() : 0);
        }
        case TOLVAR_KCMD_TIMER_INTERVAL:
            if (auto *t = qobject_cast<TimerControl *>(w)) t->set_interval(int_arg(arg(1)));
            return no_value();
        case TOLVAR_KCMD_OPEN_HYPERLINK:
            if (auto *h = qobject_cast<HyperlinkBox *>(w)) h->open();
            return no_value();
        case TOLVAR_KCMD_POPUP_MENU:
            if (QMenu *menu = window && count > 0 ? window->menu(object_of(args[0])) : nullptr)
                menu->popup(window->popup_position().value_or(QCursor::pos()));
            return no_value();
        case TOLVAR_KCMD_DESTROY_WINDOW:
            if (window) window->close();
            return no_value();
        case TOLVAR_KCMD_PROGRAM_DIRECTORY: return text_value(state().program_directory);
        default: return no_value();
    }
}

}  // namespace tolvar::kernel
