// The window's pulse: a timer of its own at 10 ms, and the longest time it
// had to wait between two of its turns (how long the window did not answer).
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace tolvar::test {

class WindowPulse {
public:
    WindowPulse() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, clock_.restart());
            ++ticks_;
        });
        clock_.start();
        timer_.start(10);
    }
    qint64 longest_gap_ms() const { return std::max(longest_, clock_.elapsed()); }
    int ticks() const { return ticks_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 longest_ = 0;
    int ticks_ = 0;
};

}  // namespace tolvar::test
