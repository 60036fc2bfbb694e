#include "platform/wininet_request.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/ascii.h"
#include "platform/wininet_cookies.h"

namespace tolvar::wininet {

namespace {

constexpr size_t kPauseAbove = 1u << 20;  // bytes buffered before the transfer waits for reads
constexpr long kReceivePiece = 64L << 10;  // what libcurl takes from the socket at once
// The body buffer's size: what is buffered before a pause, and one more piece.
constexpr size_t kBufferBytes = kPauseAbove + kReceivePiece;

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

// The driver, its transfer removed, goes back for the thread's next request.
Request::~Request() {
    stop();
    if (driver_) driver_->keep_buffer(std::move(buffer_), kBufferBytes);
    give_back(std::move(driver_));
}

// The transfer ends; the easy handle stays the driver's, for the next one.
void Request::stop() {
    if (attached_) curl_multi_remove_handle(driver_->multi(), easy_);
    attached_ = false;
    if (easy_) curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
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
    driver_ = take_driver();
    if (!driver_) return ERROR_NOT_ENOUGH_MEMORY;
    buffer_ = driver_->take_buffer();
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
    bool fresh = false;
    easy_ = driver_->easy(!(flags_ & INTERNET_FLAG_NO_COOKIES), fresh);
    if (!easy_) return ERROR_NOT_ENOUGH_MEMORY;
    if (fresh) set_lasting_options();
    set_connection_options(hop);
    set_method_and_body(hop);
    set_header_lines(hop);
    attached_ = curl_multi_add_handle(driver_->multi(), easy_) == CURLM_OK;
    if (!attached_) return ERROR_NOT_ENOUGH_MEMORY;
    finished_ = false;
    result_ = CURLE_OK;
    driver_->waiter().start();
    return ERROR_SUCCESS;
}

// What every transfer of an easy handle shares: plain HTTP only, no
// signals, a connection of its own for each request, closed once its
// transfer ends (the handles are kept for later requests, their connections
// are not), and this engine's callbacks. Redirects are followed here, not by
// libcurl. The cookie store's options come with the handle.
void Request::set_lasting_options() {
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceivePiece);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Request::on_header);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Request::on_body);
    // Uploads count as activity for the time-outs.
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &Request::on_progress);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &Request::on_connected);
}

// Where and how this request connects, each option set whatever the
// handle's last transfer left: the URL, the HTTP version, the session's
// agent and proxy, WinINet's time-outs, and this request as the callbacks' data.
void Request::set_connection_options(const Hop &hop) {
    const Session &session = *connection_->session;
    std::string host = hop.host.find(':') != std::string::npos && hop.host[0] != '[' ? "[" + hop.host + "]" : hop.host;
    std::string url = "http://" + host + ":" + std::to_string(hop.port) + escaped_target(hop.path);
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION,
                     version_ == "HTTP/1.0" ? CURL_HTTP_VERSION_1_0 : CURL_HTTP_VERSION_1_1);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, session.agent.empty() ? nullptr : session.agent.c_str());
    // Direct: no proxy whatever the environment says; preconfigured: the environment's.
    std::string proxy = session.access == INTERNET_OPEN_TYPE_PROXY ? "http://" + session.proxy : "";
    curl_easy_setopt(easy_, CURLOPT_PROXY,
                     session.access == INTERNET_OPEN_TYPE_DIRECT || session.access == INTERNET_OPEN_TYPE_PROXY
                         ? proxy.c_str()
                         : nullptr);
    Timeouts t = timeouts();
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, t.connect_ms);
    receive_limit_ = std::chrono::milliseconds(t.receive_ms);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
}

// The method and body, from a plain GET on: a kept handle may come from a
// POST (whose body pointer would dangle), a HEAD or another method.
void Request::set_method_and_body(const Hop &hop) {
    bool has_body = hop.method != "GET" && hop.method != "HEAD";
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, has_body ? hop.body.data() : nullptr);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, has_body ? static_cast<curl_off_t>(hop.body.size()) : -1);
    bool custom = has_body && hop.method != "POST";
    curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, custom ? hop.method.c_str() : nullptr);
    if (!has_body) curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);  // also ends a HEAD's "no body"
    else curl_easy_setopt(easy_, CURLOPT_NOBODY, 0L);
    if (hop.method == "HEAD") curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
}

// Exactly the caller's lines, in order; libcurl's own Accept, Expect and form
// Content-Type lines are suppressed, as WinINet adds none of them.
void Request::set_header_lines(const Hop &hop) {
    bool accept = false, content_type = false;
    size_t at = 0;
    std::string_view headers = hop.headers;
    std::string line;
    while (at < headers.size()) {
        size_t end = headers.find('\n', at);
        std::string_view text = headers.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? headers.size() : end + 1;
        if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
        size_t colon = text.find(':');
        if (colon == std::string::npos || colon == 0) continue;
        std::string_view name = text.substr(0, colon);
        accept |= platform::ascii_iequal(name, "accept");
        content_type |= platform::ascii_iequal(name, "content-type");
        // A field without a value is sent as "Name;", as libcurl writes an empty one.
        if (text.find_first_not_of(' ', colon + 1) == std::string::npos) line.assign(name).append(";");
        else line.assign(text);
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
    // As WinINet reads: the whole amount asked for, short only at the body's end.
    read_wanted_ = std::max<size_t>(1, std::min(size, kPauseAbove));
    if (buffered() < read_wanted_) wait(&Request::body_ready);
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
    while (CURLMsg *m = curl_multi_info_read(driver_->multi(), &left)) {
        if (m->msg == CURLMSG_DONE && m->easy_handle == easy_) {
            finished_ = true;
            // A followed redirect's transfer is ended on purpose once its header block is in.
            result_ = location_.empty() ? m->data.result : CURLE_OK;
        }
    }
}

void Request::give_up(CURLcode why) {
    if (attached_) curl_multi_remove_handle(driver_->multi(), easy_);
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
    if (!connected_) return Clock::time_point::max();
    return std::min(last_heard_, window_start_) + receive_limit_;
}

// The connection stands, the request is about to go: the receive clock starts.
int Request::on_connected(void *self, char *, char *, int, int) {
    auto *r = static_cast<Request *>(self);
    r->connected_ = true;
    r->last_heard_ = r->window_start_ = Clock::now();
    r->window_bytes_ = 0;
    return CURL_PREREQFUNC_OK;
}

void Request::wait(bool (Request::*ready)() const) {
    if (!driver_ || finished_) return;
    auto done = [&] {
        collect_result();
        return (this->*ready)();
    };
    auto until = [&] { return deadline(); };
    for (;;) {
        SocketWaiter::Outcome outcome = driver_->waiter().wait_until(done, until);
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
    std::string_view line = data;
    if (line.substr(0, 5) == "HTTP/") {
        // A new reply: an interim one's block is replaced.
        raw_headers_.clear();
        headers_done_ = false;
        size_t space = line.find(' ');
        status_ = space == std::string::npos ? 0 : std::atoi(std::string(line.substr(space + 1)).c_str());
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    raw_headers_.append(line).append("\r\n");
    if (!(flags_ & INTERNET_FLAG_NO_COOKIES) && platform::ascii_iequal(line.substr(0, 11), "set-cookie:"))
        reply_cookie(hop_.host, line.substr(11));
    if (!line.empty()) return data.size();
    if (status_ >= 100 && status_ < 200) return data.size();  // an interim reply: the final one follows
    // Only a redirect's status has its Location looked at.
    if (!(flags_ & INTERNET_FLAG_NO_AUTO_REDIRECT) && status_ >= 300 && status_ < 400 &&
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
    if (buffer_.capacity() < kBufferBytes) buffer_.reserve(kBufferBytes);
    if (read_at_ && buffer_.size() + size > buffer_.capacity()) {
        // The read part goes before the buffer would grow.
        buffer_.erase(0, read_at_);
        read_at_ = 0;
    }
    buffer_.append(data, size);
    return size;
}

}  // namespace tolvar::wininet
