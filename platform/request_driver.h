// The libcurl multi and easy handles a request's transfers run in, with the
// SocketWaiter that drives them. Making and ending the handles costs more
// than a small exchange itself (hash tables set up and walked, every option
// given its default), so a thread keeps a few that ended requests left for
// its next ones. A kept driver holds no transfer and no connection, only the
// memory of its last body buffer, its waiter's disabled notifiers and stopped
// timer, and an easy handle with the options of its last transfer, which the
// next transfer sets anew. (The easy handle is not cleared with
// curl_easy_reset: libcurl 7.88 loses, unfreed, the list a CURLOPT_COOKIEFILE
// left, a leak per reset. A handle in the shared cookie store stays in it.)
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
    ~RequestDriver() {
        curl_multi_cleanup(multi_);
        curl_easy_cleanup(easy_);
    }
    RequestDriver(const RequestDriver &) = delete;
    RequestDriver &operator=(const RequestDriver &) = delete;

    CURLM *multi() const { return multi_; }
    SocketWaiter &waiter() const { return *waiter_; }

    // The easy handle for the driver's next transfer, in the shared cookie
    // store or out of it: the kept one when it is of that kind, otherwise a
    // new one (`fresh` then says so), whose only options set are the cookie
    // store's. Null when none can be made.
    CURL *easy(bool with_cookies, bool &fresh);

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
    CURL *easy_ = nullptr;
    bool easy_has_cookies_ = false;
    std::string buffer_;
};

// A driver for a new request on this thread, kept or new; null when none can be made.
std::unique_ptr<RequestDriver> take_driver();

// A request's driver once its transfer is removed: kept for the thread's
// next request when it is idle and fewer than a few are kept, otherwise ended.
void give_back(std::unique_ptr<RequestDriver> driver);

}  // namespace tolvar::wininet
