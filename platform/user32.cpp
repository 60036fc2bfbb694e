// user32 stand-in: window enumeration over this process's top-level Qt windows
// and the modal message box, with the Windows signatures.
//
// Window handles are small numbers handed out per top-level widget and kept
// while it lives, so they fit the 32-bit fields Windows programs keep them in.
#include <sys/syscall.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QWidget>
#include <algorithm>
#include <cstring>
#include <map>

#include "platform/qt_gbk.h"
#include "platform/stand_in.h"

namespace {

constexpr uintptr_t kFirstHandle = 0x10010;

struct Handles {
    std::map<uintptr_t, QPointer<QWidget>> widgets;
    uintptr_t next = kFirstHandle;
};

Handles &handles() {
    static Handles h;
    return h;
}

HWND handle_of(QWidget *w) {
    auto &h = handles();
    for (auto it = h.widgets.begin(); it != h.widgets.end();) {
        if (!it->second) it = h.widgets.erase(it);
        else if (it->second == w) return reinterpret_cast<HWND>(it->first);
        else ++it;
    }
    uintptr_t id = h.next;
    h.next += 4;
    h.widgets[id] = w;
    return reinterpret_cast<HWND>(id);
}

QWidget *widget_of(HWND window) {
    auto &h = handles();
    auto it = h.widgets.find(reinterpret_cast<uintptr_t>(window));
    return it == h.widgets.end() ? nullptr : it->second.data();
}

QString from_gbk(LPCSTR text) { return text ? tolvar::platform::from_gbk(text) : QString(); }

// Copies a text as GBK into a caller's buffer of `size` bytes, cut to size - 1.
int copy_gbk(const QString &text, LPSTR buffer, int size) {
    if (!buffer || size <= 0) return 0;
    QByteArray gbk = tolvar::platform::to_gbk(text);
    int n = std::min(static_cast<int>(gbk.size()), size - 1);
    std::memcpy(buffer, gbk.constData(), static_cast<size_t>(n));
    buffer[n] = 0;
    return n;
}

// Top-level windows in a stable order: the active one first, as Windows lists
// the window on top first, then the others in the order they were made.
QList<QWidget *> top_level_windows() {
    QList<QWidget *> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isWindow() && !(w->windowType() == Qt::Popup || w->windowType() == Qt::ToolTip)) windows << w;
    std::stable_sort(windows.begin(), windows.end(), [](QWidget *a, QWidget *b) {
        bool active_a = a == QApplication::activeWindow(), active_b = b == QApplication::activeWindow();
        if (active_a != active_b) return active_a;
        return reinterpret_cast<uintptr_t>(handle_of(a)) < reinterpret_cast<uintptr_t>(handle_of(b));
    });
    return windows;
}

enum { IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

}  // namespace

// An exception from the callback ends the enumeration as a failure.
STANDIN_FUNCTION(BOOL, EnumWindows, (WNDENUMPROC callback, LPARAM parameter)) {
    if (!callback) return FALSE;
    for (QWidget *w : top_level_windows())
        if (!callback(handle_of(w), parameter)) break;
    return TRUE;
}
STANDIN_FUNCTION_END(FALSE)

STANDIN_FUNCTION(BOOL, IsWindowVisible, (HWND window)) {
    QWidget *w = widget_of(window);
    return w && w->isVisible() ? TRUE : FALSE;
}
STANDIN_FUNCTION_END(FALSE)

STANDIN_FUNCTION(DWORD, GetWindowThreadProcessId, (HWND window, LPDWORD process)) {
    if (!widget_of(window)) return 0;
    if (process) *process = static_cast<DWORD>(getpid());
    return static_cast<DWORD>(syscall(SYS_gettid));
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, GetWindowTextA, (HWND window, LPSTR text, int size)) {
    QWidget *w = widget_of(window);
    return copy_gbk(w ? w->windowTitle() : QString(), text, size);
}
STANDIN_FUNCTION_END(0)

STANDIN_FUNCTION(int, GetClassNameA, (HWND window, LPSTR name, int size)) {
    QWidget *w = widget_of(window);
    return copy_gbk(w ? QString::fromLatin1(w->metaObject()->className()) : QString(), name, size);
}
STANDIN_FUNCTION_END(0)

// A modal box over `owner` (or over nothing), run in a nested event loop.
STANDIN_FUNCTION(int, MessageBoxA, (HWND owner, LPCSTR text, LPCSTR caption, UINT type)) {
    if (!qobject_cast<QApplication *>(QCoreApplication::instance())) return 0;
    QMessageBox box(widget_of(owner));
    box.setWindowTitle(caption ? from_gbk(caption) : QString("Error"));
    box.setText(from_gbk(text));
    switch (type & 0xF0) {
        case 0x10: box.setIcon(QMessageBox::Critical); break;
        case 0x20: box.setIcon(QMessageBox::Question); break;
        case 0x30: box.setIcon(QMessageBox::Warning); break;
        case 0x40: box.setIcon(QMessageBox::Information); break;
        default: break;
    }
    struct Choice {
        QMessageBox::StandardButton button;
        int id;
    };
    static const std::vector<Choice> kChoices[] = {
        {{QMessageBox::Ok, IDOK}},
        {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}},
        {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}},
        {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}},
        {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}},
        {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}},
    };
    UINT kind = type & 0x0F;
    if (kind >= std::size(kChoices)) return 0;
    for (const auto &c : kChoices[kind]) box.addButton(c.button);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    QAbstractButton *clicked = box.clickedButton();
    for (const auto &c : kChoices[kind])
        if (clicked == box.button(c.button)) return c.id;
    // Closed without a button: Cancel where there is one, else the only button.
    return kind == 0 ? IDOK : kind == 4 || kind == 2 ? 0 : IDCANCEL;
}
STANDIN_FUNCTION_END(0)
