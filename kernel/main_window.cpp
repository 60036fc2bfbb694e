#include "kernel/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QShortcut>

#include "image/control_options.h"
#include "kernel/control_widgets.h"
#include "kernel/tab_order.h"
#include "kernel/window_look.h"
#include "platform/qt_gbk.h"
#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

using platform::from_gbk;

namespace {

QColor color_of(uint32_t colorref) {
    return QColor(colorref & 0xFF, (colorref >> 8) & 0xFF, (colorref >> 16) & 0xFF);
}

QFont font_of(const image::LogFont &f) {
    QFont font(from_gbk(f.face));
    if (f.height < 0) font.setPixelSize(-f.height);
    else if (f.height > 0) font.setPixelSize(f.height * 4 / 5);  // cell height to character height
    font.setWeight(f.weight >= 600 ? QFont::Bold : QFont::Normal);
    return font;
}

QString caption_of(const std::string &gbk) { return from_gbk(gbk).replace("\r\n", "\n"); }

// An explicit colour is the enabled look only: the active and inactive groups.
// The disabled group keeps the greyed colour.
void set_enabled_color(QPalette &p, QPalette::ColorRole role, const QColor &color) {
    p.setColor(QPalette::Active, role, color);
    p.setColor(QPalette::Inactive, role, color);
}

// A style may shade a panel (a group box's inside) up to 3% darker than the
// colour it stands on; text colours are made to read on that as well.
constexpr int kPanelShading = 103;

// The background a text role is drawn on.
QPalette::ColorRole background_of(QPalette::ColorRole text_role) {
    return text_role == QPalette::Text ? QPalette::Base
           : text_role == QPalette::ButtonText ? QPalette::Button
                                               : QPalette::Window;
}

// Text colour: the roles each kind draws its text with, against the layout's
// light palette. A layout colour is shown as legible_text_color makes it on
// its background; a default colour is the palette's, in every group (disabled
// included), set on the control all the same, so a group box's coloured
// caption does not colour what lies inside it.
void apply_colors(QWidget *w, uint32_t type, const image::ControlOptions &o) {
    QPalette p = w->palette();
    const QPalette look = layout_palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        if (o.text_color != image::kDefaultColor) {
            QColor background = look.color(QPalette::Active, background_of(role)).darker(kPanelShading);
            set_enabled_color(p, role, legible_text_color(color_of(o.text_color), background));
            p.setColor(QPalette::Disabled, role, look.color(QPalette::Disabled, role));
        } else {
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                p.setColor(group, role, look.color(group, role));
        }
    }
    if (o.back_color != image::kDefaultColor) {
        set_enabled_color(p, type == TOLVAR_TYPE_ID_LABEL ? QPalette::Window : QPalette::Base, color_of(o.back_color));
        w->setAutoFillBackground(true);
    }
    w->setPalette(p);
}

void apply_border(QWidget *w, uint32_t border) {
    if (auto *line = qobject_cast<QLineEdit *>(w)) {
        if (border == 0) line->setFrame(false);
        else if (border == 5) line->setStyleSheet("QLineEdit { border: 1px solid #7a7a7a; background: white; }");
    } else if (qobject_cast<QPlainTextEdit *>(w) && border == 1) {
        // The style's own edit frame, all four edges drawn, as a single-line box has it.
        static_cast<QFrame *>(w)->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    } else if (auto *frame = qobject_cast<QFrame *>(w)) {
        if (border == 5) frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        else if (border == 1) frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (border) frame->setLineWidth(1);
    }
}

Qt::Alignment alignment_of(uint32_t a) {
    return a == 1 ? Qt::AlignHCenter : a == 2 ? Qt::AlignRight : Qt::AlignLeft;
}

}  // namespace

MainWindow::MainWindow(const image::Form &form, std::function<void(uint32_t)> run_routine)
    : form_(form), record_(*form.find(TOLVAR_WINDOW_OBJECT)), run_routine_(std::move(run_routine)) {
    setObjectName(from_gbk(record_.name));
    auto options = image::read_window_options(record_.options);  // checked when the image was loaded
    setWindowTitle(from_gbk(options->title));
    QPixmap icon;
    if (!options->icon.empty() &&
        icon.loadFromData(options->icon.data(), static_cast<uint>(options->icon.size()), "ICO"))
        setWindowIcon(QIcon(icon));
    setEnabled(!(record_.flags & image::kFlagDisabled));

    // The layout's pixel sizes assume this font, whatever the desktop's.
    setFont(layout_default_font());

    auto *client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    for (const auto &record : form_.objects) {
        if (record.id == TOLVAR_WINDOW_OBJECT || record.is_menu_item()) continue;
        QWidget *widget = make_widget(record, parent_widget(record));
        controls_[record.id] = {record.type_id, widget};
        bind_events(record, widget);
    }
    set_tab_order(form_, [this](uint32_t id) {
        const Control *c = control(id);
        return c ? c->widget : nullptr;
    });
    bind_enter_buttons();
    build_menus();
    bind_window_keys();
}

// Return in an edit box presses the button its layout names, as a group's
// default button would.
void MainWindow::bind_enter_buttons() {
    for (const auto &record : form_.objects) {
        if (record.type_id != TOLVAR_TYPE_ID_EDIT) continue;
        auto options = image::read_control_options(record.options);
        const Control *edit = control(record.id);
        const Control *target = options ? control(options->enter_button) : nullptr;
        auto *line = edit ? qobject_cast<QLineEdit *>(edit->widget) : nullptr;
        auto *button = target ? qobject_cast<QAbstractButton *>(target->widget) : nullptr;
        if (!line || !button) continue;
        connect(line, &QLineEdit::returnPressed, button, [button] {
            if (button->isEnabled() && button->isVisible()) button->click();
        });
    }
}

// Keys of the whole window: Ctrl+Tab and Ctrl+PgDown to the next page,
// Ctrl+Shift+Tab and Ctrl+PgUp to the one before (round the end, the page
// change handled as for a click); F10 opens the menu bar as Alt does.
void MainWindow::bind_window_keys() {
    auto on_key = [this](QKeySequence keys, auto action) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
    };
    for (const auto &[id, c] : controls_) {
        auto *tabs = qobject_cast<TabControl *>(c.widget);
        if (!tabs) continue;
        // Shift+Tab comes as Backtab; a Backtab without a shortcut of its own is tried as Tab.
        on_key(QKeySequence(Qt::CTRL | Qt::Key_Tab), [tabs] { tabs->step(1); });
        on_key(QKeySequence(Qt::CTRL | Qt::Key_PageDown), [tabs] { tabs->step(1); });
        on_key(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), [tabs] { tabs->step(-1); });
        on_key(QKeySequence(Qt::CTRL | Qt::Key_PageUp), [tabs] { tabs->step(-1); });
        break;  // one tab control has the keys
    }
    on_key(QKeySequence(Qt::Key_F10), [this] { open_menu_bar(); });
}

// An Alt press and release where the focus is, which the menu bar takes as
// Alt: its keyboard mode toggles (the first menu title highlighted, the
// arrows moving along the bar). Where the style has no Alt navigation, the
// first menu opens instead.
void MainWindow::open_menu_bar() {
    QMenuBar *bar = menuBar();
    if (bar->actions().isEmpty()) return;
    bool leaving = bar->hasFocus() || bar->activeAction();  // F10 again leaves the bar, as Alt does
    QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    QKeyEvent alt_press(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
    QCoreApplication::sendEvent(focus, &alt_press);
    QKeyEvent alt_release(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(focus, &alt_release);
    if (!leaving && !bar->hasFocus() && !bar->activeAction()) bar->setActiveAction(bar->actions().first());
}

QWidget *MainWindow::parent_widget(const image::FormObject &record) {
    auto it = controls_.find(record.parent);
    if (it == controls_.end()) return centralWidget();
    if (auto *tab = qobject_cast<TabControl *>(it->second.widget)) {
        const image::FormObject *parent = form_.find(record.parent);
        int page = 0;
        for (uint32_t child : parent->children) {
            if (child == record.id) return tab->page(page);
            if (child == 0) ++page;
        }
    }
    return it->second.widget;
}

namespace {

QWidget *make_label(const image::ControlOptions &options, const QString &text, QWidget *parent) {
    auto *label = new Label(text, parent);
    label->setTextFormat(Qt::PlainText);  // a caption is shown as it is, never as markup
    // One line per line of the caption: the layout sizes each label for its
    // caption, and a wrap would push the end of one into a line below that
    // the label has no room for.
    label->setWordWrap(false);
    label->setAlignment(alignment_of(options.alignment) | Qt::AlignVCenter);
    if (options.label_style == 5) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    return label;
}

QWidget *make_edit_box(const image::ControlOptions &options, const QString &text, QWidget *parent) {
    if (options.multiline) {
        auto *edit = new MultiLineEditBox(static_cast<int>(options.max_length), parent);
        edit->setPlainText(text);
        return edit;
    }
    auto *edit = new EditBox(text, parent);
    if (options.max_length) edit->setMaxLength(static_cast<int>(options.max_length));
    edit->setAlignment(alignment_of(options.alignment) | Qt::AlignVCenter);
    return edit;
}

QWidget *make_picture_box(const image::ControlOptions &options, QWidget *parent) {
    auto *picture = new PictureBox(parent);
    QPixmap pixmap;
    if (!options.picture.empty() &&
        pixmap.loadFromData(options.picture.data(), static_cast<uint>(options.picture.size())))
        picture->setPixmap(pixmap);
    return picture;
}

// The widget of a control's kind, with what its options say of its content.
QWidget *make_kind(uint32_t type, const image::ControlOptions &options, QWidget *parent) {
    QString text = caption_of(options.text);
    switch (type) {
        case TOLVAR_TYPE_ID_TAB: {
            QStringList titles;
            for (const auto &p : options.pages) titles << from_gbk(p);
            return new TabControl(titles, parent);
        }
        case TOLVAR_TYPE_ID_GROUP: return new GroupBox(text, parent);
        case TOLVAR_TYPE_ID_LABEL: return make_label(options, text, parent);
        case TOLVAR_TYPE_ID_BUTTON: return new Button(text, parent);
        case TOLVAR_TYPE_ID_EDIT: return make_edit_box(options, text, parent);
        case TOLVAR_TYPE_ID_LIST: return new ListBox(parent);
        case TOLVAR_TYPE_ID_PICTURE: return make_picture_box(options, parent);
        case TOLVAR_TYPE_ID_HYPERLINK: {
            auto *link = new HyperlinkBox(text, parent);
            link->target = text;
            return link;
        }
        case TOLVAR_TYPE_ID_TIMER: {
            auto *timer = new TimerControl(parent);
            timer->set_interval(static_cast<int>(options.interval));
            return timer;
        }
        case TOLVAR_TYPE_ID_HTML_VIEW: return new HtmlView(parent);
        default: return new QWidget(parent);
    }
}

}  // namespace

QWidget *MainWindow::make_widget(const image::FormObject &record, QWidget *parent) {
    auto options = image::read_control_options(record.options).value_or(image::ControlOptions{});
    QWidget *w = make_kind(record.type_id, options, parent);
    w->setObjectName(from_gbk(record.name));
    w->setGeometry(record.left, record.top, record.width, record.height);
    apply_colors(w, record.type_id, options);
    apply_border(w, options.border);
    if (options.font) w->setFont(font_of(*options.font));
    if (!options.accessible_name.empty()) w->setAccessibleName(from_gbk(options.accessible_name));
    if (!(record.flags & image::kFlagFocusable)) w->setFocusPolicy(Qt::NoFocus);
    w->setEnabled(!(record.flags & image::kFlagDisabled));
    w->setVisible(record.type_id == TOLVAR_TYPE_ID_TAB || (record.flags & image::kFlagVisible));
    return w;
}

void MainWindow::run(int32_t event, const image::FormObject &record) {
    for (const auto &b : record.bindings)
        if (b.event == event) run_routine_(b.code_offset);
}

void MainWindow::bind_events(const image::FormObject &record, QWidget *w) {
    if (record.bindings.empty()) return;
    const image::FormObject *r = &record;
    auto main_event = [this, r] { run(image::kEventMain, *r); };
    if (auto *button = qobject_cast<QPushButton *>(w)) connect(button, &QPushButton::clicked, this, main_event);
    if (auto *line = qobject_cast<QLineEdit *>(w)) connect(line, &QLineEdit::textChanged, this, main_event);
    if (auto *text = qobject_cast<QPlainTextEdit *>(w)) connect(text, &QPlainTextEdit::textChanged, this, main_event);
    if (auto *timer = qobject_cast<TimerControl *>(w)) connect(&timer->timer, &QTimer::timeout, this, main_event);
    if (auto *tab = qobject_cast<TabControl *>(w))
        connect(tab->bar(), &QTabBar::currentChanged, this, [this, r] { run(image::kEventPageChanged, *r); });
    // Focus and the right button come through an event filter, on the viewport
    // for scrolling views (where the mouse lands).
    watched_[w] = r;
    w->installEventFilter(this);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(w)) {
        watched_[area->viewport()] = r;
        area->viewport()->installEventFilter(this);
    }
}

namespace {

bool is_bound(const image::FormObject &record, int32_t event) {
    for (const auto &b : record.bindings)
        if (b.event == event) return true;
    return false;
}

// The context-menu keys: the Menu key, and Shift+F10.
bool is_menu_key(const QKeyEvent *key) {
    return (key->key() == Qt::Key_Menu && key->modifiers() == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier);
}

// Where a menu opened from the keyboard stands: below the left end of a
// list's current item where it is in view, else at the control's top left.
QPoint keyboard_menu_position(QWidget *w) {
    if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
        QRect item = view->visualRect(view->currentIndex()).intersected(view->viewport()->rect());
        QPoint at = item.isEmpty() ? QPoint(0, 0) : QPoint(item.left(), item.bottom() + 1);
        return view->viewport()->mapToGlobal(at);
    }
    return w->mapToGlobal(QPoint(0, 0));
}

}  // namespace

// The right-button event run from the keyboard; a pop-up menu it opens stands
// at the control's current item instead of at the mouse.
void MainWindow::run_from_menu_key(const image::FormObject &record, QWidget *w) {
    if (QApplication::activePopupWidget()) return;  // one key press opens one menu
    popup_position_ = keyboard_menu_position(w);
    run(image::kEventRightButton, record);
    popup_position_.reset();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    auto it = watched_.find(watched);
    if (it == watched_.end()) return QMainWindow::eventFilter(watched, event);
    const image::FormObject &record = *it->second;
    QWidget *widget = controls_[record.id].widget;
    bool right_button_bound = is_bound(record, image::kEventRightButton);
    if (event->type() == QEvent::FocusIn && watched == widget) {
        run(image::kEventFocus, record);
    } else if (event->type() == QEvent::MouseButtonPress &&
               static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        if (right_button_bound) {
            run(image::kEventRightButton, record);
            return true;  // the right button does not change a list's selection
        }
    } else if (event->type() == QEvent::KeyPress && right_button_bound && watched == widget &&
               is_menu_key(static_cast<QKeyEvent *>(event))) {
        run_from_menu_key(record, widget);
        return true;
    } else if (event->type() == QEvent::ContextMenu && right_button_bound) {
        // Some platforms turn the Menu key into a keyboard context-menu event
        // (before the key press itself); a mouse one follows the right button
        // already handled. No default menu opens over a bound control.
        if (static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard)
            run_from_menu_key(record, widget);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::build_menus() {
    QMenu *current = nullptr;
    for (const auto &record : form_.objects) {
        if (!record.is_menu_item()) continue;
        QString caption = from_gbk(record.caption);
        if (record.level == 0) {
            current = new QMenu(caption, this);
            current->setObjectName(from_gbk(record.name));
            menus_[record.id] = current;
            if (!record.hidden) menuBar()->addMenu(current);
            continue;
        }
        if (!current) continue;
        QAction *action = current->addAction(caption);
        action->setObjectName(from_gbk(record.name));
        if (record.handler >= 0) {
            uint32_t handler = static_cast<uint32_t>(record.handler);
            connect(action, &QAction::triggered, this, [this, handler] { run_routine_(handler); });
        }
    }
}

const MainWindow::Control *MainWindow::control(uint32_t id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
}

QMenu *MainWindow::menu(uint32_t id) const {
    auto it = menus_.find(id);
    return it == menus_.end() ? nullptr : it->second;
}

void MainWindow::closeEvent(QCloseEvent *event) {
    QMainWindow::closeEvent(event);
    if (event->isAccepted() && on_closed) on_closed();
}

void MainWindow::show_from_form() {
    resize(record_.width, record_.height);
    move(record_.left, record_.top);
    if (record_.flags & image::kFlagVisible) {
        show();
        raise();
        activateWindow();
    }
    // The stored size is the outer size: take the frame off once it is known.
    QSize frame = frameGeometry().size() - geometry().size();
    if (!frame.isEmpty()) {
        resize(record_.width - frame.width(), record_.height - frame.height());
        move(record_.left, record_.top);
    }
    run(image::kEventMain, record_);
}

}  // namespace tolvar::kernel
