#include "platform/wininet_request.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "abi/win32.h"
#include "platform/ascii.h"
#include "platform/wininet_cookies.h"

namespace tolvar::wininet {

namespace {

constexpr size_t kPauseAbove = 4u << 20;  // bytes buffered before the transfer waits for reads

long env_ms(const char *name, long fallback) {
    const char *v = std::getenv(name);
    if (!v || !*v) return fallback;
    long ms = std::strtol(v, nullptr, 10);
    return ms > 0 ? ms : fallback;
}

// A host name WinINet could resolve: letters, digits, dots, hyphens, underscores.
bool resolvable(const std::string &host) {
    return !host.empty() && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_';
    });
}

// The request target as WinINet sends it: unsafe bytes escaped.
std::string escaped_target(const std::string &path) {
    std::string out;
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F) {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty() || out[0] != '/') out.insert(out.begin(), '/');
    return out;
}

// Lets the window's pending events run while a reply is awaited, at most once
// a millisecond: an event-loop iteration costs a poll of its own, and libcurl
// may wake this loop for every piece of a fast reply.
void pump_events() {
    using clock = std::chrono::steady_clock;
    static clock::time_point last;
    clock::time_point now = clock::now();
    if (now - last < std::chrono::milliseconds(1)) return;
    last = now;
    if (QCoreApplication::instance()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

Timeouts timeouts() {
    return {env_ms("WININET_CONNECT_TIMEOUT", 60000), env_ms("WININET_RECEIVE_TIMEOUT", 30000)};
}

Request::~Request() {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    if (easy_) curl_easy_cleanup(easy_);
    if (multi_) curl_multi_cleanup(multi_);
    curl_slist_free_all(header_list_);
}

bool Request::send(const std::string &headers, const std::string &body) {
    if (easy_) return false;  // one send per request handle
    if (!resolvable(host)) return false;
    easy_ = curl_easy_init();
    multi_ = curl_multi_init();
    if (!easy_ || !multi_) return false;
    body_ = body;
    set_connection_options();
    set_method_and_body();
    set_header_lines(headers);
    // Cookies stored since the last exchange go into the store before this one.
    settle_cookies();
    attached_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    if (!attached_) return false;
    heard();
    drive(&Request::headers_ready);
    return headers_done_ || (finished_ && result_ == CURLE_OK);
}

// Where and how to connect: plain HTTP, the session's agent and proxy,
// WinINet's time-outs, redirects and the shared cookie store unless the
// flags turn them off, and this request's callbacks.
void Request::set_connection_options() {
    std::string url = "http://" + host + ":" + std::to_string(port) + escaped_target(path);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION,
                     version == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    if (!agent.empty()) curl_easy_setopt(easy_, CURLOPT_USERAGENT, agent.c_str());
    if (access == INTERNET_OPEN_TYPE_DIRECT) curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    else if (access == INTERNET_OPEN_TYPE_PROXY) curl_easy_setopt(easy_, CURLOPT_PROXY, ("http://" + proxy).c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    Timeouts t = timeouts();
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, t.connect_ms);
    silence_limit_ = std::chrono::milliseconds(t.receive_ms);
    if (!(flags & INTERNET_FLAG_NO_AUTO_REDIRECT)) {
        curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 30L);
    }
    if (!(flags & INTERNET_FLAG_NO_COOKIES)) {
        curl_easy_setopt(easy_, CURLOPT_SHARE, cookie_share());
        curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Request::on_header);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::on_body);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
}

bool Request::has_body() const { return method == "POST" || !body_.empty(); }

void Request::set_method_and_body() {
    if (method == "GET") {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else {
        if (method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
        if (has_body()) {
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, body_.data());
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body_.size()));
            // A body going out is no silence of the server's.
            curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &Request::on_progress);
            curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
            curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
        }
    }
}

// Exactly the caller's lines, in order; libcurl's own Accept, Expect and form
// Content-Type lines are suppressed, as WinINet adds none of them.
void Request::set_header_lines(const std::string &headers) {
    bool accept = false, content_type = false;
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find('\n', at);
        std::string line = headers.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? headers.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        std::string name = platform::ascii_lower(line.substr(0, colon));
        accept |= name == "accept";
        content_type |= name == "content-type";
        if (line.find_first_not_of(' ', colon + 1) == std::string::npos) line = line.substr(0, colon) + ";";
        header_list_ = curl_slist_append(header_list_, line.c_str());
    }
    if (!accept) header_list_ = curl_slist_append(header_list_, "Accept:");
    header_list_ = curl_slist_append(header_list_, "Expect:");
    if (has_body() && !content_type) header_list_ = curl_slist_append(header_list_, "Content-Type:");
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, header_list_);
}

size_t Request::read(uint8_t *out, size_t size, bool &failed) {
    failed = false;
    if (!easy_) {
        failed = true;
        return 0;
    }
    drive(&Request::body_ready);
    size_t n = std::min(size, buffered());
    if (n) std::memcpy(out, buffer_.data() + read_at_, n);
    read_at_ += n;
    if (read_at_ == buffer_.size()) {
        buffer_.clear();  // keeps its capacity for the next pieces
        read_at_ = 0;
    }
    if (paused_ && buffered() < kPauseAbove / 2) {
        paused_ = false;
        heard();  // the pause was the reader's, not the server's silence
        curl_easy_pause(easy_, CURLPAUSE_CONT);
    }
    failed = n == 0 && finished_ && result_ != CURLE_OK;
    return n;
}

void Request::collect_result() {
    int left = 0;
    while (CURLMsg *m = curl_multi_info_read(multi_, &left)) {
        if (m->msg == CURLMSG_DONE) {
            finished_ = true;
            result_ = m->data.result;
        }
    }
}

void Request::give_up(CURLcode why) {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    finished_ = true;
    result_ = why;
}

// The receive time-out counts silence: time since the server last sent
// anything, from the moment the connection stands (the connect time-out covers
// what comes before).
void Request::check_silence() {
    auto now = std::chrono::steady_clock::now();
    if (!connected_) {
        curl_off_t connect_time = 0;
        curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connect_time);
        if (connect_time > 0) {
            connected_ = true;
            last_heard_ = now;
        }
        return;
    }
    if (now - last_heard_ >= silence_limit_) give_up(CURLE_OPERATION_TIMEDOUT);
}

void Request::drive(bool (Request::*ready)() const) {
    while (!(this->*ready)()) {
        int running = 0;
        curl_multi_perform(multi_, &running);
        collect_result();
        if ((this->*ready)()) break;
        check_silence();
        if ((this->*ready)()) break;
        curl_multi_poll(multi_, nullptr, 0, 15, nullptr);
        pump_events();
    }
}

int Request::on_progress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto *r = static_cast<Request *>(self);
    if (uploaded != r->uploaded_) {
        r->uploaded_ = uploaded;
        r->heard_from_server();
    }
    return 0;
}

size_t Request::on_header(char *data, size_t size, size_t count, void *self) {
    auto *r = static_cast<Request *>(self);
    size_t n = size * count;
    r->heard_from_server();
    std::string line(data, n);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new reply: a redirect's or an interim one's block is replaced.
        r->raw_headers_.clear();
        r->headers_done_ = false;
        size_t space = line.find(' ');
        r->status_ = space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    r->raw_headers_ += line + "\r\n";
    if (platform::ascii_lower(line.substr(0, 11)) == "set-cookie:") cookies_changed();
    if (line.empty()) {
        bool interim = r->status_ >= 100 && r->status_ < 200;
        bool followed = r->status_ >= 300 && r->status_ < 400 && !(r->flags & INTERNET_FLAG_NO_AUTO_REDIRECT) &&
                        platform::ascii_lower(r->raw_headers_).find("\r\nlocation:") != std::string::npos;
        if (!interim && !followed) r->headers_done_ = true;
    }
    return n;
}

size_t Request::on_body(char *data, size_t size, size_t count, void *self) {
    auto *r = static_cast<Request *>(self);
    if (r->buffered() >= kPauseAbove) {
        r->paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    r->heard_from_server();
    r->headers_done_ = true;
    if (r->read_at_ > r->buffer_.size() / 2) {
        // More than half of the block is read: drop that part, once, before growing.
        r->buffer_.erase(0, r->read_at_);
        r->read_at_ = 0;
    }
    r->buffer_.append(data, size * count);
    return size * count;
}

}  // namespace tolvar::wininet
