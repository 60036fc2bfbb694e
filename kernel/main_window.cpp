#include "kernel/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QIcon>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>

#include "image/control_options.h"
#include "kernel/control_widgets.h"
#include "kernel/reading_order.h"
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
// The disabled group keeps the platform's greyed colour.
void set_enabled_color(QPalette &p, QPalette::ColorRole role, const QColor &color) {
    p.setColor(QPalette::Active, role, color);
    p.setColor(QPalette::Inactive, role, color);
}

// Text colour: the roles each kind draws its text with. A default colour is
// the platform's, in every group (disabled included); it is set on the control
// all the same, so a group box's coloured caption does not colour what lies
// inside it.
void apply_colors(QWidget *w, uint32_t type, const image::ControlOptions &o) {
    QPalette p = w->palette();
    const QPalette platform = QApplication::palette(w);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        if (o.text_color != image::kDefaultColor) {
            set_enabled_color(p, role, color_of(o.text_color));
            p.setColor(QPalette::Disabled, role, platform.color(QPalette::Disabled, role));
        } else {
            for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
                p.setColor(group, role, platform.color(group, role));
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

    auto *client = new QWidget(this);
    client->setObjectName("client");
    setCentralWidget(client);
    for (const auto &record : form_.objects) {
        if (record.id == TOLVAR_WINDOW_OBJECT || record.is_menu_item()) continue;
        QWidget *widget = make_widget(record, parent_widget(record));
        controls_[record.id] = {record.type_id, widget};
        bind_events(record, widget);
    }
    std::unordered_set<QWidget *> widgets;
    for (const auto &[id, c] : controls_) widgets.insert(c.widget);
    set_reading_order(client, widgets);
    build_menus();
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
    label->setWordWrap(true);
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

bool MainWindow::eventFilter(QObject *watched, QEvent *event) {
    auto it = watched_.find(watched);
    if (it == watched_.end()) return QMainWindow::eventFilter(watched, event);
    const image::FormObject &record = *it->second;
    if (event->type() == QEvent::FocusIn && watched == controls_[record.id].widget) {
        run(image::kEventFocus, record);
    } else if (event->type() == QEvent::MouseButtonPress &&
               static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        bool bound = false;
        for (const auto &b : record.bindings) bound |= b.event == image::kEventRightButton;
        if (bound) {
            run(image::kEventRightButton, record);
            return true;  // the right button does not change a list's selection
        }
    } else if (event->type() == QEvent::ContextMenu) {
        for (const auto &b : record.bindings)
            if (b.event == image::kEventRightButton) return true;  // no default menu over a bound control
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
