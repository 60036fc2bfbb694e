#include "kernel/event_pump.h"

#include <QCoreApplication>
#include <chrono>

namespace tolvar::kernel {

void process_pending_events() {
    using clock = std::chrono::steady_clock;
    static clock::time_point last;
    if (clock::now() - last < std::chrono::milliseconds(1)) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    last = clock::now();
}

}  // namespace tolvar::kernel
