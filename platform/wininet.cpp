// wininet stand-in: the WinINet functions of the DLL-command table with their
// Windows signatures and the meaning the program relies on, over libcurl.
#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "platform/last_error.h"
#include "platform/stand_in.h"
#include "platform/wininet_cookies.h"
#include "platform/wininet_request.h"

using namespace tolvar::wininet;

namespace {


BOOL fail(DWORD error) {
    tolvar::platform::set_last_error(error);
    return FALSE;
}

// Live handles: a handle is trusted only while it is in this set. A request
// closed by a nested handler while it is being driven is deleted afterwards.
std::set<Handle *> &live() {
    static std::set<Handle *> handles;
    return handles;
}

template <class T>
T *handle_as(HINTERNET h, Handle::Kind kind) {
    auto *handle = static_cast<Handle *>(h);
    if (live().count(handle) && handle->kind == kind) return static_cast<T *>(handle);
    tolvar::platform::set_last_error(ERROR_INVALID_HANDLE);
    return nullptr;
}

HINTERNET keep(Handle *h) {
    live().insert(h);
    return h;
}

std::string text(LPCSTR s) { return s ? s : ""; }

// "http=host:port" (or a plain "host:port" for every protocol) from a proxy list.
std::string http_proxy(const std::string &list) {
    std::string found;
    size_t at = 0;
    while (at < list.size()) {
        size_t end = list.find_first_of(" ;", at);
        std::string entry = list.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? list.size() : end + 1;
        size_t eq = entry.find('=');
        if (eq == std::string::npos && found.empty()) found = entry;
        else if (eq != std::string::npos && entry.substr(0, eq) == "http") found = entry.substr(eq + 1);
    }
    if (found.rfind("http://", 0) == 0) found.erase(0, 7);
    return found;
}

// A copy-out of a header text into the caller's buffer with WinINet's rules:
// too small fails with the needed length (zero included); success gives the
// length without the zero.
BOOL copy_out(const std::string &value, LPVOID buffer, LPDWORD length) {
    if (!length) return fail(ERROR_INVALID_PARAMETER);
    if (!buffer || *length < value.size() + 1) {
        *length = static_cast<DWORD>(value.size() + 1);
        return fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, value.data(), value.size());
    static_cast<char *>(buffer)[value.size()] = 0;
    *length = static_cast<DWORD>(value.size());
    return TRUE;
}

// Keeps a request alive while it is being driven; deletes it afterwards if a
// nested handler closed it meanwhile.
struct Busy {
    Request *request;
    explicit Busy(Request *r) : request(r) { ++request->busy_depth; }
    ~Busy() {
        if (--request->busy_depth == 0 && !live().count(request)) delete request;
    }
};

}  // namespace

STANDIN_EXPORT HINTERNET InternetOpenA(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR, DWORD) {
    auto *s = new Session;
    s->agent = text(agent);
    s->access = access;
    s->proxy = http_proxy(text(proxy));
    return keep(s);
}

STANDIN_EXPORT HINTERNET InternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR, LPCSTR,
                                          DWORD service, DWORD, DWORD_PTR) {
    auto *s = handle_as<Session>(internet, Handle::Kind::internet);
    if (!s || !server || service != INTERNET_SERVICE_HTTP) return nullptr;
    auto *c = new Connection;
    c->agent = s->agent;
    c->access = s->access;
    c->proxy = s->proxy;
    c->host = server;
    c->port = port ? port : 80;  // 0: the default port of the HTTP service
    return keep(c);
}

STANDIN_EXPORT HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR,
                                          LPCSTR *, DWORD flags, DWORD_PTR) {
    auto *c = handle_as<Connection>(connect, Handle::Kind::connection);
    if (!c) return nullptr;
    auto *r = new Request;
    r->agent = c->agent;
    r->access = c->access;
    r->proxy = c->proxy;
    r->host = c->host;
    r->port = c->port;
    r->method = verb && *verb ? verb : "GET";
    r->path = object && *object ? object : "/";
    r->version = version && *version ? version : "HTTP/1.1";
    r->flags = flags;
    return keep(r);
}

STANDIN_EXPORT BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headers_length, LPVOID optional,
                                     DWORD optional_length) {
    auto *r = handle_as<Request>(request, Handle::Kind::request);
    if (!r) return FALSE;
    std::string header_text;
    if (headers) header_text = headers_length == 0xFFFFFFFFu ? std::string(headers) : std::string(headers, headers_length);
    std::string body = optional ? std::string(static_cast<const char *>(optional), optional_length) : std::string();
    Busy busy(r);
    return r->send(header_text, body) ? TRUE : fail(ERROR_INTERNET_CANNOT_CONNECT);
}

STANDIN_EXPORT BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD read) {
    if (read) *read = 0;
    auto *r = handle_as<Request>(request, Handle::Kind::request);
    if (!r) return FALSE;
    if (!buffer || !read) return fail(ERROR_INVALID_PARAMETER);
    Busy busy(r);
    bool failed = false;
    *read = static_cast<DWORD>(r->read(static_cast<uint8_t *>(buffer), size, failed));
    return failed ? fail(ERROR_INTERNET_CANNOT_CONNECT) : TRUE;
}

STANDIN_EXPORT BOOL HttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD) {
    auto *r = handle_as<Request>(request, Handle::Kind::request);
    if (!r) return FALSE;
    if (r->raw_headers().empty()) return fail(ERROR_HTTP_HEADER_NOT_FOUND);
    switch (level & 0xFFFF) {
        case HTTP_QUERY_RAW_HEADERS_CRLF: return copy_out(r->raw_headers(), buffer, length);
        case HTTP_QUERY_RAW_HEADERS: {
            std::string lines = r->raw_headers();
            std::string out;
            size_t at = 0, end;
            while ((end = lines.find("\r\n", at)) != std::string::npos && end > at) {
                out += lines.substr(at, end - at);
                out += '\0';
                at = end + 2;
            }
            return copy_out(out, buffer, length);
        }
        case HTTP_QUERY_STATUS_CODE:
            if (level & HTTP_QUERY_FLAG_NUMBER) {
                if (!buffer || !length || *length < 4) return fail(ERROR_INSUFFICIENT_BUFFER);
                DWORD status = static_cast<DWORD>(r->status());
                std::memcpy(buffer, &status, 4);
                *length = 4;
                return TRUE;
            }
            return copy_out(std::to_string(r->status()), buffer, length);
        default: return fail(ERROR_HTTP_HEADER_NOT_FOUND);
    }
}

STANDIN_EXPORT BOOL InternetCloseHandle(HINTERNET h) {
    auto *handle = static_cast<Handle *>(h);
    if (!live().erase(handle)) return fail(ERROR_INVALID_HANDLE);
    // A request being driven further up the stack is deleted when that call returns.
    if (handle->kind != Handle::Kind::request) delete handle;
    else if (!static_cast<Request *>(handle)->busy()) delete handle;
    return TRUE;
}

STANDIN_EXPORT BOOL InternetSetCookieA(LPCSTR url, LPCSTR name, LPCSTR data) {
    if (!url || !data) return fail(ERROR_INVALID_PARAMETER);
    if (!set_cookie(url, text(name), data)) return fail(ERROR_INVALID_PARAMETER);
    return TRUE;
}
