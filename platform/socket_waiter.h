// Drives one libcurl multi handle on the calling thread, event-driven: libcurl
// says which sockets and which time it waits for (its socket and timer
// callbacks), and a wait hands exactly those to a nested Qt event loop as
// socket notifiers and a timer, so the window's own events run at once and
// nothing runs while nothing happens. Without a Qt application on this thread
// the same wait is a plain poll().
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class QEventLoop;
class QSocketNotifier;
class QTimer;

namespace tolvar::wininet {

class SocketWaiter {
public:
    using Clock = std::chrono::steady_clock;

    explicit SocketWaiter(CURLM *multi);
    ~SocketWaiter();
    SocketWaiter(const SocketWaiter &) = delete;
    SocketWaiter &operator=(const SocketWaiter &) = delete;

    enum class Outcome {
        done,       // `done` holds
        deadline,   // the deadline came first
        abandoned,  // the application is quitting: its event loops end
    };

    // Lets libcurl work until `done()` holds or the time `deadline()` gives
    // has come (both asked again after every piece of work). What is ready at
    // once is handled without an event-loop iteration; otherwise the wait
    // sleeps in a nested event loop until a socket, libcurl's timer or the
    // deadline wakes it.
    Outcome wait_until(const std::function<bool()> &done, const std::function<Clock::time_point()> &deadline);

    // libcurl's timer fires at once: the transfer just added starts.
    void start() { timer_due_ = Clock::now(); }

    // True once a wait found the application ending its event loops, for as
    // long as it still does: no new exchange starts then.
    static bool quitting();

private:
    struct Notifiers;

    static int on_socket(CURL *, curl_socket_t fd, int what, void *self, void *);
    static int on_timer(CURLM *, long timeout_ms, void *self);

    // One piece of libcurl's work on a socket (or on its timer, CURL_SOCKET_TIMEOUT).
    void act(curl_socket_t fd, int events);
    // Works off what is ready now: sockets with events, a timer that is due. False when nothing was.
    bool act_on_ready();
    Outcome wait_in_event_loop(Clock::time_point until);
    void wait_in_poll(Clock::time_point until);
    void watch(bool on);
    void arm_timer(Clock::time_point until);
    void work(curl_socket_t fd, int events);
    // After a piece of work inside the event loop: ends the loop when it is time.
    void after_work();

    CURLM *multi_;
    std::map<curl_socket_t, int> wanted_;  // CURL_POLL_IN / OUT / INOUT per socket
    std::optional<Clock::time_point> timer_due_;
    // The Qt side, made on the first wait inside an event loop.
    std::map<curl_socket_t, std::unique_ptr<Notifiers>> notifiers_;
    std::vector<std::unique_ptr<Notifiers>> retired_;  // removed inside their own signal; deleted later
    std::unique_ptr<QTimer> timer_;
    QEventLoop *loop_ = nullptr;
    bool watching_ = false;  // the notifiers and the timer stand for this waiter's sockets and time
    const std::function<bool()> *done_ = nullptr;
    const std::function<Clock::time_point()> *deadline_ = nullptr;
};

}  // namespace tolvar::wininet
