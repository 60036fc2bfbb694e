#include "kernel/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace tolvar::kernel {

namespace {
int g_busy_depth = 0;
}

// Begins and ends come in pairs from the one GUI thread's call stack, so the
// application's override-cursor stack nests with them.
void busy_begin() {
    ++g_busy_depth;
    QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor));
}

void busy_end() {
    if (g_busy_depth == 0) return;
    --g_busy_depth;
    QGuiApplication::restoreOverrideCursor();
}

NormalCursorScope::NormalCursorScope() : pushed_(QGuiApplication::overrideCursor() != nullptr) {
    if (pushed_) QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

NormalCursorScope::~NormalCursorScope() {
    if (pushed_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace tolvar::kernel
