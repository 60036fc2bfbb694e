#include "platform/wininet_request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/ascii.h"
#include "platform/wininet_cookies.h"

namespace tolvar::wininet {

namespace {

constexpr size_t kPauseAbove = 4u << 20;  // bytes buffered before the transfer waits for reads
constexpr long kReceivePiece = 64L << 10;  // what libcurl takes from the socket at once

long env_ms(const char *name, long fallback) {
    const char *v = std::getenv(name);
    if (!v || !*v) return fallback;
    long ms = std::strtol(v, nullptr, 10);
    return ms > 0 ? ms : fallback;
}

// A host name WinINet could resolve: letters, digits, dots, hyphens,
// underscores, or an IPv6 address in brackets.
bool resolvable(const std::string &host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return std::all_of(host.begin() + 1, host.end() - 1,
                           [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; });
    return !host.empty() && host.size() <= 253 && std::all_of(host.begin(), host.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_';
    });
}

// The request target as WinINet sends it: unsafe bytes escaped.
std::string escaped_target(const std::string &path) {
    std::string out;
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7F || c == '#') {  // '#' would end the target as a fragment
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

std::string header_value(const std::string &block, std::string_view name) {
    size_t at = 0;
    while (at < block.size()) {
        size_t end = block.find("\r\n", at);
        if (end == std::string::npos) end = block.size();
        std::string_view line(block.data() + at, end - at);
        at = end + 2;
        if (line.size() > name.size() && line[name.size()] == ':' &&
            platform::ascii_lower(std::string(line.substr(0, name.size()))) == name)
            return std::string(line.substr(name.size() + 1));
    }
    return {};
}

}  // namespace

Timeouts timeouts() {
    return {env_ms("WININET_CONNECT_TIMEOUT", 60000), env_ms("WININET_RECEIVE_TIMEOUT", 30000)};
}

DWORD error_of(CURLcode result) {
    switch (result) {
        case CURLE_OK: return ERROR_SUCCESS;
        case CURLE_OPERATION_TIMEDOUT: return ERROR_INTERNET_TIMEOUT;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY: return ERROR_INTERNET_NAME_NOT_RESOLVED;
        case CURLE_COULDNT_CONNECT: return ERROR_INTERNET_CANNOT_CONNECT;
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_GOT_NOTHING: return ERROR_INTERNET_CONNECTION_RESET;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_UNSUPPORTED_PROTOCOL:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_FILESIZE_EXCEEDED: return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        case CURLE_TOO_MANY_REDIRECTS: return ERROR_HTTP_REDIRECT_FAILED;
        case CURLE_OUT_OF_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
        case CURLE_ABORTED_BY_CALLBACK: return ERROR_INTERNET_OPERATION_CANCELLED;
        default: return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

Request::Request(std::shared_ptr<const Connection> connection, std::string method, std::string path,
                 std::string version, uint32_t flags)
    : Handle(Kind::request),
      connection_(std::move(connection)),
      method_(std::move(method)),
      path_(std::move(path)),
      version_(std::move(version)),
      flags_(flags) {}

// The multi handle is cleaned up while the waiter, which its callbacks reach, still exists.
Request::~Request() {
    stop();
    if (multi_) curl_multi_cleanup(multi_);
}

void Request::stop() {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    if (easy_) curl_easy_cleanup(easy_);
    easy_ = nullptr;
    curl_slist_free_all(header_list_);
    header_list_ = nullptr;
}

DWORD Request::send(const std::string &headers, const std::string &body) {
    if (sent_) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;  // one send per request handle
    sent_ = true;
    finished_ = true;  // until a transfer starts
    result_ = CURLE_ABORTED_BY_CALLBACK;
    if (SocketWaiter::quitting()) return ERROR_INTERNET_OPERATION_CANCELLED;
    result_ = CURLE_OUT_OF_MEMORY;
    multi_ = curl_multi_init();
    if (!multi_) return ERROR_NOT_ENOUGH_MEMORY;
    waiter_ = std::make_unique<SocketWaiter>(multi_);
    hop_ = {method_, connection_->host, connection_->port, path_, headers, body};
    if (method_ == "GET" || method_ == "HEAD") hop_.body.clear();
    // Cookies stored since the last exchange go into the store before this one.
    settle_cookies();
    std::vector<std::string> asked;
    for (;;) {
        if (DWORD error = start(hop_)) return error;
        wait(&Request::headers_ready);
        if (location_.empty()) return headers_done_ ? ERROR_SUCCESS : error_of(result_);
        // A redirect: its header block stays the reply's until the next one is in.
        Redirect r = redirect_of(hop_, status_, location_);
        asked.push_back(hop_.key());
        bool loop = std::find(asked.begin(), asked.end(), r.next.key()) != asked.end();
        if (r.kind != Redirect::Kind::follow || loop || asked.size() > static_cast<size_t>(kMaxRedirects)) {
            stop();
            finished_ = true;
            result_ = CURLE_TOO_MANY_REDIRECTS;
            return ERROR_HTTP_REDIRECT_FAILED;
        }
        hop_ = std::move(r.next);
    }
}

// A transfer of its own for each request of the chain.
DWORD Request::start(const Hop &hop) {
    stop();
    raw_headers_.clear();
    status_ = 0;
    location_.clear();
    headers_done_ = paused_ = connected_ = false;
    buffer_.clear();
    read_at_ = 0;
    uploaded_ = 0;
    finished_ = true;  // until the transfer is under way
    result_ = CURLE_COULDNT_RESOLVE_HOST;
    if (!resolvable(hop.host)) return ERROR_INTERNET_NAME_NOT_RESOLVED;
    result_ = CURLE_OUT_OF_MEMORY;
    easy_ = curl_easy_init();
    if (!easy_) return ERROR_NOT_ENOUGH_MEMORY;
    set_connection_options(hop);
    set_method_and_body(hop);
    set_header_lines(hop);
    attached_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    if (!attached_) return ERROR_NOT_ENOUGH_MEMORY;
    finished_ = false;
    result_ = CURLE_OK;
    waiter_->start();
    return ERROR_SUCCESS;
}

// Where and how to connect: plain HTTP, the session's agent and proxy,
// WinINet's time-outs, the shared cookie store unless the flags turn it off,
// and this request's callbacks. Redirects are followed here, not by libcurl.
void Request::set_connection_options(const Hop &hop) {
    const Session &session = *connection_->session;
    std::string host = hop.host.find(':') != std::string::npos && hop.host[0] != '[' ? "[" + hop.host + "]" : hop.host;
    std::string url = "http://" + host + ":" + std::to_string(hop.port) + escaped_target(hop.path);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION,
                     version_ == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    if (!session.agent.empty()) curl_easy_setopt(easy_, CURLOPT_USERAGENT, session.agent.c_str());
    if (session.access == INTERNET_OPEN_TYPE_DIRECT) curl_easy_setopt(easy_, CURLOPT_PROXY, "");
    else if (session.access == INTERNET_OPEN_TYPE_PROXY)
        curl_easy_setopt(easy_, CURLOPT_PROXY, ("http://" + session.proxy).c_str());
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceivePiece);
    Timeouts t = timeouts();
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, t.connect_ms);
    receive_limit_ = std::chrono::milliseconds(t.receive_ms);
    if (!(flags_ & INTERNET_FLAG_NO_COOKIES)) {
        curl_easy_setopt(easy_, CURLOPT_SHARE, cookie_share());
        curl_easy_setopt(easy_, CURLOPT_COOKIEFILE, "");
    }
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Request::on_header);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::on_body);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    // Uploads count as activity for the time-outs.
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &Request::on_progress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
}

void Request::set_method_and_body(const Hop &hop) {
    if (hop.method == "GET") {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else if (hop.method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else {
        if (hop.method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, hop.method.c_str());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, hop.body.data());
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body.size()));
    }
}

// Exactly the caller's lines, in order; libcurl's own Accept, Expect and form
// Content-Type lines are suppressed, as WinINet adds none of them.
void Request::set_header_lines(const Hop &hop) {
    bool accept = false, content_type = false;
    size_t at = 0;
    const std::string &headers = hop.headers;
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
    bool has_body = hop.method != "GET" && hop.method != "HEAD";
    if (has_body && !content_type) header_list_ = curl_slist_append(header_list_, "Content-Type:");
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, header_list_);
}

DWORD Request::read(uint8_t *out, size_t size, size_t &count) {
    count = 0;
    if (!sent_) return ERROR_INTERNET_INCORRECT_HANDLE_STATE;
    if (buffered() == 0) wait(&Request::body_ready);
    size_t n = std::min(size, buffered());
    if (n) std::memcpy(out, buffer_.data() + read_at_, n);
    read_at_ += n;
    if (read_at_ == buffer_.size()) {
        buffer_.clear();  // keeps its capacity for the next pieces
        read_at_ = 0;
    }
    if (paused_ && buffered() < kPauseAbove / 2 && easy_) {
        paused_ = false;
        heard(0);  // the pause was the reader's, not the server's silence
        curl_easy_pause(easy_, CURLPAUSE_CONT);
    }
    count = n;
    return n == 0 && finished_ ? error_of(result_) : ERROR_SUCCESS;
}

void Request::collect_result() {
    int left = 0;
    while (CURLMsg *m = curl_multi_info_read(multi_, &left)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == easy_) {
            finished_ = true;
            // A followed redirect's transfer is ended on purpose once its header block is in.
            result_ = location_.empty() ? m->data.result : CURLE_OK;
        }
    }
}

void Request::give_up(CURLcode why) {
    if (attached_) curl_multi_remove_handle(multi_, easy_);
    attached_ = false;
    finished_ = true;
    result_ = why;
}

void Request::heard(size_t bytes) {
    last_heard_ = Clock::now();
    window_bytes_ += bytes;
}

// Before the connection stands libcurl's connect time-out rules; after it,
// the receive time-out's silence and drip windows.
Request::Clock::time_point Request::deadline() {
    if (!connected_) {
        curl_off_t connect_time = 0, pretransfer_time = 0;
        if (easy_) {
            curl_easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connect_time);
            curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &pretransfer_time);
        }
        if (connect_time <= 0 && pretransfer_time <= 0 && !headers_done_) return Clock::time_point::max();
        connected_ = true;
        last_heard_ = window_start_ = Clock::now();
        window_bytes_ = 0;
    }
    return std::min(last_heard_, window_start_) + receive_limit_;
}

void Request::wait(bool (Request::*ready)() const) {
    if (!waiter_ || finished_) return;
    auto done = [&] {
        collect_result();
        return (this->*ready)();
    };
    auto until = [&] { return deadline(); };
    for (;;) {
        SocketWaiter::Outcome outcome = waiter_->wait_until(done, until);
        if (outcome == SocketWaiter::Outcome::done) return;
        if (outcome == SocketWaiter::Outcome::abandoned) {
            give_up(CURLE_ABORTED_BY_CALLBACK);
            return;
        }
        Clock::time_point now = Clock::now();
        bool silent = now - last_heard_ >= receive_limit_;
        bool window_over = now - window_start_ >= receive_limit_;
        if (silent || (window_over && window_bytes_ < kLeastBytesPerWindow)) {
            give_up(CURLE_OPERATION_TIMEDOUT);
            return;
        }
        if (window_over) {
            window_start_ = now;  // a window with enough bytes: the next one starts
            window_bytes_ = 0;
        }
    }
}

int Request::on_progress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto *r = static_cast<Request *>(self);
    if (uploaded > r->uploaded_) {
        r->heard(static_cast<size_t>(uploaded - r->uploaded_));
        r->uploaded_ = uploaded;
    }
    return 0;
}

size_t Request::on_header(char *data, size_t size, size_t count, void *self) {
    try {
        return static_cast<Request *>(self)->header_line(std::string_view(data, size * count));
    } catch (...) {
        return 0;  // ends the transfer with an error
    }
}

size_t Request::header_line(std::string_view data) {
    heard(data.size());
    std::string line(data);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new reply: an interim one's block is replaced.
        raw_headers_.clear();
        headers_done_ = false;
        size_t space = line.find(' ');
        status_ = space == std::string::npos ? 0 : std::atoi(line.c_str() + space + 1);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    raw_headers_ += line + "\r\n";
    if (platform::ascii_lower(line.substr(0, 11)) == "set-cookie:") cookies_changed();
    if (!line.empty()) return data.size();
    if (status_ >= 100 && status_ < 200) return data.size();  // an interim reply: the final one follows
    if (!(flags_ & INTERNET_FLAG_NO_AUTO_REDIRECT) &&
        redirect_of(hop_, status_, header_value(raw_headers_, "location")).kind != Redirect::Kind::none) {
        // Its body is not wanted: the transfer ends here and the next request follows.
        location_ = header_value(raw_headers_, "location");
        return 0;
    }
    headers_done_ = true;
    return data.size();
}

size_t Request::on_body(char *data, size_t size, size_t count, void *self) {
    try {
        return static_cast<Request *>(self)->body_piece(data, size * count);
    } catch (...) {
        return 0;
    }
}

size_t Request::body_piece(const char *data, size_t size) {
    if (buffered() >= kPauseAbove) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;
    }
    heard(size);
    headers_done_ = true;
    if (read_at_ > buffer_.size() / 2) {
        // More than half of the block is read: drop that part, once, before growing.
        buffer_.erase(0, read_at_);
        read_at_ = 0;
    }
    buffer_.append(data, size);
    return size;
}

}  // namespace tolvar::wininet
