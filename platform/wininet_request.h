// The wininet stand-in's handles and its HTTP engine: one libcurl multi handle
// per request, driven on the calling thread while pending Qt events run, so a
// timer or a click can run a nested handler (and a nested exchange) during a
// slow reply.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvar::wininet {

struct Handle {
    enum class Kind { internet, connection, request } kind;
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
    Connection() : Handle(Kind::connection) {}
    std::string agent;
    uint32_t access = 0;
    std::string proxy;
    std::string host;
    uint16_t port = 80;
};

// Time-outs, WinINet's defaults unless WININET_CONNECT_TIMEOUT or
// WININET_RECEIVE_TIMEOUT (milliseconds) say otherwise, as the registry would.
struct Timeouts {
    long connect_ms = 60000;
    long receive_ms = 30000;  // a reply silent this long is given up (slow but steady is not silent)
};
Timeouts timeouts();

class Request : public Handle {
public:
    Request() : Handle(Kind::request) {}
    ~Request() override;

    std::string agent;
    uint32_t access = 0;
    std::string proxy;
    std::string host;
    uint16_t port = 80;
    std::string method;
    std::string path;
    std::string version;
    uint32_t flags = 0;

    // Sends the request with exactly these header lines and this body, and
    // waits (pumping events) until the reply's headers are in.
    bool send(const std::string &headers, const std::string &body);
    // Up to `size` bytes of the body; 0 at its end or when the transfer broke off.
    size_t read(uint8_t *out, size_t size, bool &failed);
    // The final reply's header block: status line, header lines, blank line, each CR LF ended.
    const std::string &raw_headers() const { return raw_headers_; }
    int status() const { return status_; }

    // Calls that drive this request and have not returned yet.
    int busy_depth = 0;
    bool busy() const { return busy_depth > 0; }

private:
    void set_connection_options();
    void set_method_and_body();
    void set_header_lines(const std::string &headers);
    bool has_body() const;
    static size_t on_header(char *data, size_t size, size_t count, void *self);
    static size_t on_body(char *data, size_t size, size_t count, void *self);
    void drive(bool (Request::*ready)() const);
    void collect_result();
    void check_silence();
    void give_up(CURLcode why);
    void heard() { last_heard_ = std::chrono::steady_clock::now(); }
    void heard_from_server() {
        connected_ = true;
        heard();
    }
    static int on_progress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
    bool headers_ready() const { return headers_done_ || finished_; }
    bool body_ready() const { return buffered() > 0 || finished_; }
    size_t buffered() const { return buffer_.size() - read_at_; }

    CURL *easy_ = nullptr;
    CURLM *multi_ = nullptr;
    curl_slist *header_list_ = nullptr;
    std::string body_;
    std::string raw_headers_;
    int status_ = 0;
    bool headers_done_ = false;
    bool finished_ = false;
    bool paused_ = false;
    CURLcode result_ = CURLE_OK;
    bool attached_ = false;   // the easy handle is in the multi handle
    bool connected_ = false;  // the silence clock runs from the connection on
    curl_off_t uploaded_ = 0;
    std::chrono::steady_clock::time_point last_heard_;
    std::chrono::milliseconds silence_limit_{30000};
    // Body bytes libcurl delivered and the program has not read yet: the
    // unread part starts at read_at_; the block is emptied, not shifted, once
    // it has all been read.
    std::string buffer_;
    size_t read_at_ = 0;
};

}  // namespace tolvar::wininet
