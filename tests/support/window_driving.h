// Driving the program's window from a test: pages, buttons, texts, and the
// message boxes it opens, closed as they appear.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QByteArray>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringEncoder>
#include <QTabBar>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/kernel_harness.h"

namespace tolvar::test {

inline std::string gbk(const char *utf8) {
    QStringEncoder encoder("GBK");
    return QByteArray(encoder.encode(QString::fromUtf8(utf8))).toStdString();
}

// Closes every message box as it appears and keeps its text (UTF-8);
// `on_box` runs first, with the box still open.
class MessageBoxes {
public:
    MessageBoxes() {
        app();  // the timer needs the application's event loop
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }
    std::vector<std::string> texts;
    std::function<void(QMessageBox *)> on_box = [](QMessageBox *) {};

private:
    void poll() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || handling_) return;
        handling_ = true;
        texts.push_back(box->text().toStdString());
        on_box(box);
        box->button(QMessageBox::Ok)->click();
        handling_ = false;
    }
    QTimer timer_;
    bool handling_ = false;
};

inline void click(QWidget *w, const char *button) { find<QAbstractButton>(w, button)->click(); }
// The text of an edit box or a label, UTF-8.
inline std::string text_of(QWidget *w, const char *control) {
    QWidget *c = find(w, control);
    if (auto *e = qobject_cast<QLineEdit *>(c)) return e->text().toStdString();
    if (auto *l = qobject_cast<QLabel *>(c)) return l->text().toStdString();
    return {};
}
inline void show_page(QWidget *w, int page) { w->findChild<QTabBar *>()->setCurrentIndex(page); }
inline int current_page(QWidget *w) { return w->findChild<QTabBar *>()->currentIndex(); }
inline void mark_logged_in(QWidget *w) { find<QLabel>(w, "标签1")->setText(QString::fromUtf8("登录成功！！")); }

}  // namespace tolvar::test
