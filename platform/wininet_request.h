// The wininet stand-in's handles and its HTTP engine. A child handle holds a
// counted reference to its parent. A request drives its own libcurl multi
// handle on the calling thread, event-driven (SocketWaiter), so the window's
// events, a timer or a nested exchange run while it waits. Every function
// here answers with a Win32 error code (ERROR_SUCCESS when it went well); only
// the exported functions set the thread's last error.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "abi/win32.h"
#include "platform/request_driver.h"
#include "platform/socket_waiter.h"
#include "platform/wininet_redirect.h"

namespace tolvar::wininet {

struct Handle {
    enum class Kind { internet, connection, request };
    const Kind kind;
    explicit Handle(Kind k) : kind(k) {}
    virtual ~Handle() = default;
};

struct Session : Handle {
    Session() : Handle(Kind::internet) {}
    std::string agent;
    uint32_t access = 0;  // INTERNET_OPEN_TYPE_*
    std::string proxy;    // "host:port" for HTTP, empty: none
};

struct Connection : Handle {
    explicit Connection(std::shared_ptr<const Session> s) : Handle(Kind::connection), session(std::move(s)) {}
    const std::shared_ptr<const Session> session;
    std::string host;
    uint16_t port = INTERNET_DEFAULT_HTTP_PORT;
};

// Time-outs, WinINet's defaults unless WININET_CONNECT_TIMEOUT or
// WININET_RECEIVE_TIMEOUT (milliseconds) say otherwise, as the registry would.
// The receive time-out gives up a reply that is silent this long, and one
// that drips: less than kLeastBytesPerWindow in a whole time-out's length.
struct Timeouts {
    long connect_ms = 60000;
    long receive_ms = 30000;
};
Timeouts timeouts();
inline constexpr size_t kLeastBytesPerWindow = 1024;

// The Win32 error of a transfer that ended with this libcurl result.
DWORD error_of(CURLcode result);

class Request : public Handle {
public:
    Request(std::shared_ptr<const Connection> connection, std::string method, std::string path, std::string version,
            uint32_t flags);
    ~Request() override;

    // Sends the request with exactly these header lines and this body, follows
    // redirects, and waits until the final reply's header block is in.
    DWORD send(const std::string &headers, const std::string &body);
    // `size` bytes of the body into `out`, fewer only at its end; `count` 0 there. The
    // bytes that arrived before a transfer broke off are read first, then its error.
    DWORD read(uint8_t *out, size_t size, size_t &count);
    // The final reply's header block: status line, header lines, blank line, each CR LF ended.
    const std::string &raw_headers() const { return raw_headers_; }
    int status() const { return status_; }

private:
    using Clock = SocketWaiter::Clock;

    DWORD start(const Hop &hop);
    void stop();
    void set_lasting_options();
    void set_connection_options(const Hop &hop);
    void set_method_and_body(const Hop &hop);
    void set_header_lines(const Hop &hop);
    // Lets the transfer run until `ready` holds or it ends (time-outs and the
    // application's end included).
    void wait(bool (Request::*ready)() const);
    Clock::time_point deadline();
    void collect_result();
    void give_up(CURLcode why);
    void heard(size_t bytes);
    static size_t on_header(char *data, size_t size, size_t count, void *self);
    static size_t on_body(char *data, size_t size, size_t count, void *self);
    static int on_progress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
    static int on_connected(void *self, char *, char *, int, int);
    size_t header_line(std::string_view line);
    size_t body_piece(const char *data, size_t size);
    bool headers_ready() const { return headers_done_ || finished_; }
    bool body_ready() const { return buffered() >= read_wanted_ || finished_; }
    size_t buffered() const { return buffer_.size() - read_at_; }

    const std::shared_ptr<const Connection> connection_;
    const std::string method_, path_, version_;
    const uint32_t flags_;

    std::unique_ptr<RequestDriver> driver_;  // the multi handle and its waiter, from the send on
    CURL *easy_ = nullptr;  // the driver's, while a transfer of this request runs
    curl_slist *header_list_ = nullptr;
    bool attached_ = false;  // the easy handle is in the multi handle
    bool sent_ = false;

    Hop hop_;  // the request of the chain now being made
    std::string raw_headers_;
    int status_ = 0;
    std::string location_;  // a followed redirect's Location, once its header block is in
    bool headers_done_ = false;
    bool finished_ = false;
    bool paused_ = false;
    CURLcode result_ = CURLE_OK;

    // Time-outs: the receive clock runs from the connection on.
    std::chrono::milliseconds receive_limit_{30000};
    bool connected_ = false;
    Clock::time_point last_heard_;
    Clock::time_point window_start_;
    size_t window_bytes_ = 0;
    curl_off_t uploaded_ = 0;

    // Body bytes libcurl delivered and the program has not read yet: the
    // unread part starts at read_at_.
    std::string buffer_;
    size_t read_at_ = 0;
    size_t read_wanted_ = 1;  // the bytes the read now waiting asked for (at most what is buffered before a pause)
};

}  // namespace tolvar::wininet
