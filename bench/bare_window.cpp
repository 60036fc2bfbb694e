// The floor of the start-up benchmark: a bare Qt 6 Widgets program that shows
// the same window as Tolvar (the same 60 controls from the same layout table,
// the tab control with its four pages, two text browsers, the list, the 23
// menu entries, the same fonts) with plain widgets, no image, no kernel, no
// stand-ins. It runs until it is closed or sent SIGTERM.
//   build/bin/bare_window
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QStringDecoder>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <csignal>
#include <map>
#include <unistd.h>

#include "ui/main_window_layout.h"

namespace {

QString text(const char *gbk) {
    QStringDecoder decoder("GBK");
    return decoder.decode(QByteArrayView(gbk, static_cast<qsizetype>(std::strlen(gbk))));
}

QWidget *make(const tolvar::ui::ControlLayout &c, QWidget *parent) {
    using K = tolvar::ui::Kind;
    const auto &o = c.options;
    switch (c.kind) {
        case K::tab: {
            auto *tabs = new QTabWidget(parent);
            for (const char *page : o.pages) tabs->addTab(new QWidget, text(page));
            return tabs;
        }
        case K::group: return new QGroupBox(text(o.text), parent);
        case K::label: {
            auto *label = new QLabel(text(o.text), parent);
            label->setWordWrap(true);
            return label;
        }
        case K::button: return new QPushButton(text(o.text), parent);
        case K::edit:
            if (o.multiline) return new QPlainTextEdit(text(o.text), parent);
            return new QLineEdit(text(o.text), parent);
        case K::list: return new QListWidget(parent);
        case K::html: return new QTextBrowser(parent);
        case K::hyperlink: return new QLabel(text(o.text), parent);
        case K::timer: {
            auto *w = new QWidget(parent);
            w->hide();
            return w;
        }
        default: return new QLabel(parent);
    }
}

int g_signal_pipe[2];

}  // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    for (const char *face : {"宋体", "黑体", "SimSun", "SimHei"})
        QFont::insertSubstitution(QString::fromUtf8(face), "WenQuanYi Micro Hei");
    if (pipe(g_signal_pipe) == 0) {
        std::signal(SIGTERM, [](int) { (void)!write(g_signal_pipe[1], "x", 1); });
        auto *notifier = new QSocketNotifier(g_signal_pipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QApplication::quit);
    }

    const auto &layout = tolvar::ui::window_layout();
    QMainWindow window;
    window.setWindowTitle(text(layout.title));
    auto *client = new QWidget(&window);
    window.setCentralWidget(client);
    std::map<uint32_t, QWidget *> made;
    for (const auto &c : tolvar::ui::control_layouts()) {
        QWidget *parent = client;
        if (auto it = made.find(c.parent); it != made.end()) {
            parent = it->second;
            if (auto *tabs = qobject_cast<QTabWidget *>(parent)) parent = tabs->widget(c.page);
        }
        QWidget *w = make(c, parent);
        w->setGeometry(c.left, c.top, c.width, c.height);
        if (c.options.font) {
            QFont font(text(c.options.font->face));
            font.setPixelSize(std::abs(c.options.font->height));
            font.setBold(c.options.font->weight >= 600);
            w->setFont(font);
        }
        w->setVisible(!c.hidden && c.kind != tolvar::ui::Kind::timer);
        w->setEnabled(!c.disabled);
        made[static_cast<uint32_t>(c.id)] = w;
    }
    QMenu *menu = nullptr;
    for (const auto &m : tolvar::ui::menu_layouts()) {
        if (m.level == 0) {
            menu = new QMenu(text(m.caption), &window);
            if (!m.hidden) window.menuBar()->addMenu(menu);
        } else if (menu) {
            menu->addAction(text(m.caption));
        }
    }
    window.resize(layout.width, layout.height);
    window.move(layout.left, layout.top);
    window.show();
    return app.exec();
}
