// The libcurl multi handle a request's transfers run in, with the
// SocketWaiter that drives it. Making and ending a multi handle costs more
// than a small exchange itself (its hash tables are set up and walked), so
// a thread keeps a few that ended requests left for its next ones. A kept
// one holds no transfer and no connection, only the memory of its last body
// buffer and its waiter's disabled notifiers and stopped timer. (Easy handles
// are not kept: curl_easy_reset in libcurl 7.88 loses, unfreed, the list a
// CURLOPT_COOKIEFILE left, a leak per reset.)
#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

#include "platform/socket_waiter.h"

namespace tolvar::wininet {

class RequestDriver {
public:
    explicit RequestDriver(CURLM *multi) : multi_(multi), waiter_(std::make_unique<SocketWaiter>(multi)) {}
    // The multi handle is cleaned up while the waiter, which its callbacks reach, still exists.
    ~RequestDriver() { curl_multi_cleanup(multi_); }
    RequestDriver(const RequestDriver &) = delete;
    RequestDriver &operator=(const RequestDriver &) = delete;

    CURLM *multi() const { return multi_; }
    SocketWaiter &waiter() const { return *waiter_; }

    // The body buffer the driver's last request left, empty, its memory
    // still there (fresh memory for every reply would be faulted in anew).
    std::string take_buffer() { return std::move(buffer_); }
    // Keeps a request's buffer for the next one unless it grew beyond `most` bytes.
    void keep_buffer(std::string buffer, size_t most) {
        buffer.clear();
        if (buffer.capacity() <= most) buffer_ = std::move(buffer);
    }

private:
    CURLM *multi_;
    std::unique_ptr<SocketWaiter> waiter_;
    std::string buffer_;
};

// A driver for a new request on this thread, kept or new; null when none can be made.
std::unique_ptr<RequestDriver> take_driver();

// A request's driver once its transfer is removed: kept for the thread's
// next request when it is idle and fewer than a few are kept, otherwise ended.
void give_back(std::unique_ptr<RequestDriver> driver);

}  // namespace tolvar::wininet
