#include "platform/socket_waiter.h"

#include <poll.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <climits>

namespace tolvar::wininet {

namespace {

// The exit code a wait gives its own event loop. Any other code means that
// the application ended every event loop: it is quitting.
constexpr int kWoken = 0x57494E;
// Pieces of work done back to back, or time spent on them, before the wait
// lets the event loop run all the same: a socket that stays ready (a flood of
// header lines, each piece costly to libcurl) must not hold the window.
constexpr int kQuickRounds = 64;
constexpr auto kQuickTime = std::chrono::milliseconds(2);

bool g_quitting = false;

bool event_loop_here() {
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

int milliseconds_until(SocketWaiter::Clock::time_point t) {
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(t - SocketWaiter::Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
}

short poll_events(int wanted) {
    short events = 0;
    if (wanted & CURL_POLL_IN) events |= POLLIN;
    if (wanted & CURL_POLL_OUT) events |= POLLOUT;
    return events;
}

int curl_events(short revents) {
    int events = 0;
    if (revents & (POLLIN | POLLHUP)) events |= CURL_CSELECT_IN;
    if (revents & POLLOUT) events |= CURL_CSELECT_OUT;
    if (revents & (POLLERR | POLLNVAL)) events |= CURL_CSELECT_ERR;
    return events;
}

}  // namespace

// A socket's notifiers, each made the first time libcurl waits for its kind of event.
struct SocketWaiter::Notifiers {
    std::unique_ptr<QSocketNotifier> read, write;
    void enable(int wanted) {
        if (read) read->setEnabled(wanted & CURL_POLL_IN);
        if (write) write->setEnabled(wanted & CURL_POLL_OUT);
    }
};

// Asks an event loop of its own: it ends at once, with -1, while the
// application is quitting.
bool SocketWaiter::quitting() {
    if (!g_quitting || !event_loop_here()) return false;
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(kWoken); });
    if (probe.exec() == kWoken) g_quitting = false;
    return g_quitting;
}

SocketWaiter::SocketWaiter(CURLM *multi) : multi_(multi) {
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &SocketWaiter::on_socket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &SocketWaiter::on_timer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

SocketWaiter::~SocketWaiter() = default;

int SocketWaiter::on_socket(CURL *, curl_socket_t fd, int what, void *self, void *) {
    auto *w = static_cast<SocketWaiter *>(self);
    try {
        if (what == CURL_POLL_REMOVE) {
            w->wanted_.erase(fd);
            if (auto it = w->notifiers_.find(fd); it != w->notifiers_.end()) {
                it->second->enable(0);
                w->retired_.push_back(std::move(it->second));
                w->notifiers_.erase(it);
            }
        } else {
            w->wanted_[fd] = what;
            if (w->watching_) w->watch(true);
        }
        return 0;
    } catch (...) {
        return -1;
    }
}

int SocketWaiter::on_timer(CURLM *, long timeout_ms, void *self) {
    auto *w = static_cast<SocketWaiter *>(self);
    if (timeout_ms < 0) w->timer_due_.reset();
    else w->timer_due_ = Clock::now() + std::chrono::milliseconds(timeout_ms);
    return 0;
}

void SocketWaiter::act(curl_socket_t fd, int events) {
    int running = 0;
    curl_multi_socket_action(multi_, fd, events, &running);
}

bool SocketWaiter::act_on_ready() {
    bool acted = false;
    if (timer_due_ && *timer_due_ <= Clock::now()) {
        timer_due_.reset();
        act(CURL_SOCKET_TIMEOUT, 0);
        acted = true;
    }
    if (wanted_.empty()) return acted;
    std::vector<pollfd> fds;
    fds.reserve(wanted_.size());
    for (const auto &[fd, wanted] : wanted_) fds.push_back({fd, poll_events(wanted), 0});
    if (poll(fds.data(), fds.size(), 0) <= 0) return acted;
    for (const pollfd &p : fds) {
        if (!p.revents) continue;
        act(p.fd, curl_events(p.revents));
        acted = true;
    }
    return acted;
}

SocketWaiter::Outcome SocketWaiter::wait_until(const std::function<bool()> &done,
                                               const std::function<Clock::time_point()> &deadline) {
    const auto *outer_done = done_;
    const auto *outer_deadline = deadline_;
    done_ = &done;
    deadline_ = &deadline;
    Outcome outcome = Outcome::done;
    Clock::time_point quick_since = Clock::now();
    for (int quick = 0;;) {
        if (done()) break;
        // What is ready is taken in before the clock is looked at: a reply
        // that came while this exchange was not waited on is no silence.
        if (quick < kQuickRounds && act_on_ready()) {
            ++quick;
            if (Clock::now() - quick_since > kQuickTime) quick = kQuickRounds;
            continue;
        }
        Clock::time_point until = deadline();
        if (Clock::now() >= until) {
            outcome = Outcome::deadline;
            break;
        }
        quick = 0;
        quick_since = Clock::now();
        if (!event_loop_here()) {
            wait_in_poll(until);
        } else if (wait_in_event_loop(until) == Outcome::abandoned) {
            outcome = Outcome::abandoned;
            break;
        }
    }
    done_ = outer_done;
    deadline_ = outer_deadline;
    if (!loop_) retired_.clear();
    return outcome;
}

SocketWaiter::Outcome SocketWaiter::wait_in_event_loop(Clock::time_point until) {
    QEventLoop loop;
    QEventLoop *outer = loop_;
    loop_ = &loop;
    watch(true);
    arm_timer(until);
    int code = loop.exec();
    loop_ = outer;
    if (code != kWoken) g_quitting = true;
    if (outer) {
        watch(true);
        arm_timer((*deadline_)());
    } else {
        watch(false);
    }
    return code == kWoken ? Outcome::done : Outcome::abandoned;
}

void SocketWaiter::wait_in_poll(Clock::time_point until) {
    if (timer_due_) until = std::min(until, *timer_due_);
    std::vector<pollfd> fds;
    for (const auto &[fd, wanted] : wanted_) fds.push_back({fd, poll_events(wanted), 0});
    poll(fds.data(), fds.size(), milliseconds_until(until));
}

void SocketWaiter::watch(bool on) {
    watching_ = on;
    if (!on) {
        for (auto &[fd, n] : notifiers_) n->enable(0);
        if (timer_) timer_->stop();
        return;
    }
    for (const auto &[fd, wanted] : wanted_) {
        std::unique_ptr<Notifiers> &n = notifiers_[fd];
        if (!n) n = std::make_unique<Notifiers>();
        curl_socket_t socket = fd;
        if ((wanted & CURL_POLL_IN) && !n->read) {
            n->read = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QObject::connect(n->read.get(), &QSocketNotifier::activated, [this, socket] {
                work(socket, CURL_CSELECT_IN);
            });
        }
        if ((wanted & CURL_POLL_OUT) && !n->write) {
            n->write = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write);
            QObject::connect(n->write.get(), &QSocketNotifier::activated, [this, socket] {
                work(socket, CURL_CSELECT_OUT);
            });
        }
        n->enable(wanted);
    }
}

void SocketWaiter::arm_timer(Clock::time_point until) {
    if (!timer_ && until == Clock::time_point::max() && !timer_due_) return;
    if (!timer_) {
        timer_ = std::make_unique<QTimer>();
        timer_->setSingleShot(true);
        timer_->setTimerType(Qt::PreciseTimer);
        QObject::connect(timer_.get(), &QTimer::timeout, [this] {
            if (timer_due_ && *timer_due_ <= Clock::now()) {
                timer_due_.reset();
                work(CURL_SOCKET_TIMEOUT, 0);
            } else {
                work(CURL_SOCKET_BAD, 0);
            }
        });
    }
    if (timer_due_) until = std::min(until, *timer_due_);
    if (until == Clock::time_point::max()) timer_->stop();  // only a socket can wake the wait
    else timer_->start(milliseconds_until(until));
}

// A notifier's or the timer's work, inside the event loop: nothing may unwind into Qt.
void SocketWaiter::work(curl_socket_t fd, int events) {
    try {
        if (fd != CURL_SOCKET_BAD) act(fd, events);
        after_work();
    } catch (...) {
        if (loop_) loop_->exit(kWoken);
    }
}

void SocketWaiter::after_work() {
    if (!loop_) return;
    Clock::time_point until = (*deadline_)();
    if ((*done_)() || Clock::now() >= until) {
        watch(false);
        loop_->exit(kWoken);
        return;
    }
    arm_timer(until);
}

}  // namespace tolvar::wininet
