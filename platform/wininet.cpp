// wininet stand-in: the WinINet functions of the DLL-command table with their
// Windows signatures and the meaning the program relies on, over libcurl.
// Each exported function turns the Win32 error code of the work below into
// its result and the thread's last error, and lets no exception through.
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "platform/last_error.h"
#include "platform/stand_in.h"
#include "platform/wininet_cookies.h"
#include "platform/wininet_request.h"

using namespace tolvar::wininet;

namespace {

// Live handles: a handle is trusted only while it is in this table. A handle
// closed while a call further up the stack still uses it lives until that
// call returns; a child keeps its parent alive.
std::map<Handle *, std::shared_ptr<Handle>> &live() {
    static auto *handles = new std::map<Handle *, std::shared_ptr<Handle>>;
    return *handles;
}

template <class T>
DWORD find_handle(HINTERNET h, Handle::Kind kind, std::shared_ptr<T> &out) {
    auto it = live().find(static_cast<Handle *>(h));
    if (it == live().end()) return ERROR_INVALID_HANDLE;
    if (it->second->kind != kind) return ERROR_INTERNET_INCORRECT_HANDLE_TYPE;
    out = std::static_pointer_cast<T>(it->second);
    return ERROR_SUCCESS;
}

HINTERNET keep(std::shared_ptr<Handle> h) {
    Handle *raw = h.get();
    live()[raw] = std::move(h);
    return raw;
}

// The failure result of an exported function (FALSE, a null handle), with its last error.
template <class Result>
Result failed(DWORD error) {
    tolvar::platform::set_last_error(error);
    return Result{};
}

BOOL outcome(DWORD error) { return error == ERROR_SUCCESS ? TRUE : failed<BOOL>(error); }

// Runs the work of an exported function; an exception becomes a Win32 error.
template <class Work>
auto guarded(Work &&work) noexcept -> decltype(work()) {
    using Result = decltype(work());
    try {
        return work();
    } catch (const std::bad_alloc &) {
        return failed<Result>(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        return failed<Result>(ERROR_INTERNET_INTERNAL_ERROR);
    }
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
DWORD copy_out(const std::string &value, LPVOID buffer, LPDWORD length) {
    if (!length) return ERROR_INVALID_PARAMETER;
    if (!buffer || *length < value.size() + 1) {
        *length = static_cast<DWORD>(value.size() + 1);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, value.data(), value.size());
    static_cast<char *>(buffer)[value.size()] = 0;
    *length = static_cast<DWORD>(value.size());
    return ERROR_SUCCESS;
}

// The header lines without their CR LF, each ended by a zero byte.
std::string zero_separated(const std::string &block) {
    std::string out;
    size_t at = 0, end;
    while ((end = block.find("\r\n", at)) != std::string::npos && end > at) {
        out += block.substr(at, end - at);
        out += '\0';
        at = end + 2;
    }
    return out;
}

DWORD query_info(const Request &r, DWORD level, LPVOID buffer, LPDWORD length) {
    if (r.raw_headers().empty()) return ERROR_HTTP_HEADER_NOT_FOUND;
    switch (level & 0xFFFF) {
        case HTTP_QUERY_RAW_HEADERS_CRLF: return copy_out(r.raw_headers(), buffer, length);
        case HTTP_QUERY_RAW_HEADERS: return copy_out(zero_separated(r.raw_headers()), buffer, length);
        case HTTP_QUERY_STATUS_CODE:
            if (level & HTTP_QUERY_FLAG_NUMBER) {
                if (!buffer || !length || *length < 4) return ERROR_INSUFFICIENT_BUFFER;
                DWORD status = static_cast<DWORD>(r.status());
                std::memcpy(buffer, &status, 4);
                *length = 4;
                return ERROR_SUCCESS;
            }
            return copy_out(std::to_string(r.status()), buffer, length);
        default: return ERROR_HTTP_HEADER_NOT_FOUND;
    }
}

}  // namespace

STANDIN_EXPORT InternetOpenA_type InternetOpenA;
STANDIN_EXPORT InternetConnectA_type InternetConnectA;
STANDIN_EXPORT HttpOpenRequestA_type HttpOpenRequestA;
STANDIN_EXPORT HttpSendRequestA_type HttpSendRequestA;
STANDIN_EXPORT InternetReadFile_type InternetReadFile;
STANDIN_EXPORT HttpQueryInfoA_type HttpQueryInfoA;
STANDIN_EXPORT InternetCloseHandle_type InternetCloseHandle;
STANDIN_EXPORT InternetSetCookieA_type InternetSetCookieA;

HINTERNET InternetOpenA(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR, DWORD) {
    return guarded([&]() -> HINTERNET {
        auto s = std::make_shared<Session>();
        s->agent = text(agent);
        s->access = access;
        s->proxy = http_proxy(text(proxy));
        return keep(std::move(s));
    });
}

HINTERNET InternetConnectA(HINTERNET internet, LPCSTR server, INTERNET_PORT port, LPCSTR, LPCSTR, DWORD service,
                           DWORD, DWORD_PTR) {
    return guarded([&]() -> HINTERNET {
        std::shared_ptr<Session> s;
        if (DWORD error = find_handle(internet, Handle::Kind::internet, s)) return failed<HINTERNET>(error);
        if (!server || service != INTERNET_SERVICE_HTTP) return failed<HINTERNET>(ERROR_INVALID_PARAMETER);
        auto c = std::make_shared<Connection>(s);
        c->host = server;
        c->port = port ? port : 80;  // 0: the default port of the HTTP service
        return keep(std::move(c));
    });
}

HINTERNET HttpOpenRequestA(HINTERNET connect, LPCSTR verb, LPCSTR object, LPCSTR version, LPCSTR, LPCSTR *,
                           DWORD flags, DWORD_PTR) {
    return guarded([&]() -> HINTERNET {
        std::shared_ptr<Connection> c;
        if (DWORD error = find_handle(connect, Handle::Kind::connection, c)) return failed<HINTERNET>(error);
        return keep(std::make_shared<Request>(c, verb && *verb ? verb : "GET", object && *object ? object : "/",
                                              version && *version ? version : "HTTP/1.1", flags));
    });
}

BOOL HttpSendRequestA(HINTERNET request, LPCSTR headers, DWORD headers_length, LPVOID optional,
                      DWORD optional_length) {
    return guarded([&]() -> BOOL {
        std::shared_ptr<Request> r;  // held while the exchange runs: a nested close cannot pull it away
        if (DWORD error = find_handle(request, Handle::Kind::request, r)) return outcome(error);
        std::string header_text;
        if (headers)
            header_text = headers_length == 0xFFFFFFFFu ? std::string(headers) : std::string(headers, headers_length);
        std::string body = optional ? std::string(static_cast<const char *>(optional), optional_length) : std::string();
        return outcome(r->send(header_text, body));
    });
}

BOOL InternetReadFile(HINTERNET request, LPVOID buffer, DWORD size, LPDWORD read) {
    return guarded([&]() -> BOOL {
        if (read) *read = 0;
        std::shared_ptr<Request> r;
        if (DWORD error = find_handle(request, Handle::Kind::request, r)) return outcome(error);
        if (!buffer || !read) return outcome(ERROR_INVALID_PARAMETER);
        size_t count = 0;
        DWORD error = r->read(static_cast<uint8_t *>(buffer), size, count);
        *read = static_cast<DWORD>(count);
        return outcome(error);
    });
}

BOOL HttpQueryInfoA(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD) {
    return guarded([&]() -> BOOL {
        std::shared_ptr<Request> r;
        if (DWORD error = find_handle(request, Handle::Kind::request, r)) return outcome(error);
        return outcome(query_info(*r, level, buffer, length));
    });
}

BOOL InternetCloseHandle(HINTERNET h) {
    return guarded([&]() -> BOOL {
        // A request still driven further up the stack lives until that call returns.
        return outcome(live().erase(static_cast<Handle *>(h)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
    });
}

BOOL InternetSetCookieA(LPCSTR url, LPCSTR name, LPCSTR data) {
    return guarded([&]() -> BOOL {
        if (!url || !data) return outcome(ERROR_INVALID_PARAMETER);
        return outcome(set_cookie(url, text(name), data) ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER);
    });
}

// Each definition above is the function its declaration names, not an overload of it.
static_assert(std::is_same_v<decltype(InternetOpenA), InternetOpenA_type>);
static_assert(std::is_same_v<decltype(InternetConnectA), InternetConnectA_type>);
static_assert(std::is_same_v<decltype(HttpOpenRequestA), HttpOpenRequestA_type>);
static_assert(std::is_same_v<decltype(HttpSendRequestA), HttpSendRequestA_type>);
static_assert(std::is_same_v<decltype(InternetReadFile), InternetReadFile_type>);
static_assert(std::is_same_v<decltype(HttpQueryInfoA), HttpQueryInfoA_type>);
static_assert(std::is_same_v<decltype(InternetCloseHandle), InternetCloseHandle_type>);
static_assert(std::is_same_v<decltype(InternetSetCookieA), InternetSetCookieA_type>);
