// Compiled with -fexec-charset=GBK.
#include "web/web_access.h"

#include <cstring>

#include "abi/win32.h"
#include "runtime/runtime.h"
#include "runtime/window.h"
#include "web/encoding.h"
#include "web/reply_cookies.h"
#include "web/text_ops.h"
#include "web/url.h"
#include "web/window_lookup.h"

namespace tolvar::web {

using runtime::Dll;
using runtime::dll;

namespace {

constexpr char kAcceptLine[] =
    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*\r\n";
constexpr char kLanguageLine[] = "Accept-Language: zh-cn\r\n";
constexpr char kFormTypeLine[] = "Content-Type: application/x-www-form-urlencoded\r\n";
constexpr char kMethodError[] = "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改";

constexpr DWORD kReadPiece = 512;
constexpr DWORD kHeaderBuffer = 1024;

bool g_last_exchange_failed = false;

// The three handles of one exchange, closed in the order request, connection,
// internet handle, whichever of them were opened.
struct Handles {
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    ~Handles() {
        auto close = dll<InternetCloseHandle_type *>(Dll::InternetCloseHandle);
        for (HINTERNET h : {request, connection, internet})
            if (h) close(h);
    }
};

void append_default_headers(std::string &headers, const std::string &address) {
    if (find_ignoring_case(headers, "Accept: ") == std::string::npos) headers += kAcceptLine;
    if (find_ignoring_case(headers, "Referer: ") == std::string::npos) headers += "Referer: " + address + "\r\n";
    if (find_ignoring_case(headers, "Accept-Language: ") == std::string::npos) headers += kLanguageLine;
}

// The body in 512-byte pieces while window messages keep running. False when
// the read broke off (a failed read, or a body beyond the bound).
bool read_body(HINTERNET request, Bytes &body) {
    auto read = dll<InternetReadFile_type *>(Dll::InternetReadFile);
    uint8_t piece[kReadPiece];
    for (;;) {
        std::memset(piece, 0, sizeof piece);
        runtime::process_events();
        DWORD count = 0;
        if (!read(request, piece, kReadPiece, &count)) return false;
        if (count == 0) return true;
        if (count > kReadPiece || count > kMaxBody - body.size()) return false;
        body.insert(body.end(), piece, piece + count);
    }
}

// The reply's whole header block (a block beyond the first buffer is asked
// for again at the size WinINet says it needs).
std::string header_block(HINTERNET request) {
    auto query = dll<HttpQueryInfoA_type *>(Dll::HttpQueryInfoA);
    std::string block(kHeaderBuffer, ' ');
    DWORD length = kHeaderBuffer;
    if (query(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &length, nullptr))
        return block.substr(0, std::min<size_t>(length, block.size()));
    if (length <= kHeaderBuffer) return {};
    block.assign(length, ' ');
    if (!query(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &length, nullptr)) return {};
    return block.substr(0, std::min<size_t>(length, block.size()));
}

// Every "Set-Cookie: " line goes to the cookie store for "http://" + host.
void store_cookies(const std::string &block, const std::string &host) {
    std::vector<ReplyCookie> cookies = reply_cookies(block);
    if (cookies.empty()) return;
    auto set_cookie = dll<InternetSetCookieA_type *>(Dll::InternetSetCookieA);
    std::string url = "http://" + host;
    for (const ReplyCookie &c : cookies) set_cookie(url.c_str(), c.name.c_str(), c.data.c_str());
}

// The body as read, or converted as asked; the conversions read it as text in place.
Bytes converted(Bytes body, int32_t reply_conversion) {
    std::string_view text(reinterpret_cast<const char *>(body.data()), body.size());
    std::string out;
    if (reply_conversion == kReplyFromUtf8) out = utf8_to_gbk(text);
    else if (reply_conversion == kReplyFromBig5) out = big5_to_gbk_simplified(text);
    else return body;
    return Bytes(out.begin(), out.end());
}

}  // namespace

Bytes 网页_访问(std::string &address, int32_t 访问方式, const std::string &proxy, std::string *extra_headers,
             const std::string &post_data, int32_t reply_conversion) {
    g_last_exchange_failed = true;
    std::string own_headers;
    std::string &headers = extra_headers ? *extra_headers : own_headers;

    address = trim_blanks(address);
    const char *method = nullptr;
    if (访问方式 == kMethodGet) method = "GET";
    else if (访问方式 == kMethodPost) method = "POST";
    else {
        reminder_box(kMethodError);
        return {};
    }
    if (address.compare(0, 7, "http://") != 0 && address.compare(0, 8, "https://") != 0) address = "http://" + address;

    std::string host = url_host(address);
    std::string path = url_path(address);
    Bytes body;
    std::string block;
    bool whole = false;
    {
        runtime::BusyCursor busy;
        Handles h;  // closed when this block ends: request, connection, internet handle
        if (trim_blanks(proxy).empty())
            h.internet = dll<InternetOpenA_type *>(Dll::InternetOpenA)(TOLVAR_USER_AGENT, INTERNET_OPEN_TYPE_DIRECT,
                                                                        "", "", 0);
        else
            h.internet = dll<InternetOpenA_type *>(Dll::InternetOpenA)(TOLVAR_USER_AGENT, INTERNET_OPEN_TYPE_PROXY,
                                                                        ("http=" + proxy).c_str(), nullptr, 0);
        if (!h.internet) return {};
        // A port beyond 16 bits names no port: it fails as an address that
        // cannot be reached does, instead of reaching another port.
        int32_t port = url_port(address);
        if (port < 0 || port > 0xFFFF) return {};
        h.connection = dll<InternetConnectA_type *>(Dll::InternetConnectA)(
            h.internet, host.c_str(), static_cast<INTERNET_PORT>(port), "", "", INTERNET_SERVICE_HTTP, 0, 0);
        if (!h.connection) return {};
        h.request = dll<HttpOpenRequestA_type *>(Dll::HttpOpenRequestA)(h.connection, method, path.c_str(), "HTTP/1.1",
                                                                         nullptr, nullptr, INTERNET_FLAG_RELOAD, 0);
        if (!h.request) return {};

        append_default_headers(headers, address);
        auto send = dll<HttpSendRequestA_type *>(Dll::HttpSendRequestA);
        bool sent = false;
        if (访问方式 == kMethodGet) {
            sent = send(h.request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0);
        } else {
            if (!post_data.empty())
                headers += std::string(kFormTypeLine) + "Content-Length: " + std::to_string(post_data.size()) + "\r\n";
            sent = send(h.request, headers.c_str(), static_cast<DWORD>(headers.size()),
                        const_cast<char *>(post_data.data()), static_cast<DWORD>(post_data.size()));
        }
        // A failed send, a read that broke off: a failed exchange, whatever part of a body came.
        whole = sent && read_body(h.request, body);
        block = header_block(h.request);
    }
    store_cookies(block, host);
    if (!whole) return {};
    g_last_exchange_failed = false;
    return converted(std::move(body), reply_conversion);
}

bool last_exchange_failed() { return g_last_exchange_failed; }

}  // namespace tolvar::web
