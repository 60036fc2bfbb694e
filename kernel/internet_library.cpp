#include "kernel/internet_library.h"

#include <type_traits>
#include <vector>

#include "abi/win32.h"
#include "image/image_reader.h"
#include "kernel/dll_binding.h"
#include "kernel/event_pump.h"
#include "kernel/kernel_state.h"
#include "kernel/services.h"
#include "kernel/values.h"
#include "platform/ascii.h"
#include "platform/qt_gbk.h"

namespace tolvar::kernel {

namespace {

constexpr qsizetype kLargestPage = 32 << 20;  // a longer reply counts as a failed read
constexpr DWORD kPiece = 64 << 10;

// The wininet functions the page read needs.
struct Wininet {
    InternetOpenA_type *open = nullptr;
    InternetConnectA_type *connect = nullptr;
    HttpOpenRequestA_type *open_request = nullptr;
    HttpSendRequestA_type *send = nullptr;
    InternetReadFile_type *read = nullptr;
    InternetCloseHandle_type *close = nullptr;
};

// The image's DLL command bound to this wininet function, or null; the
// stand-in is opened on the first use, as for the program's own calls.
void *bound_wininet_function(const Program &p, const char *function) {
    for (size_t i = 0; i < p.dlls.functions.size(); ++i)
        if (stand_in_file(image::dll_library_name(p.read.image, i)) == "wininet.so" &&
            image::dll_function_name(p.read.image, i) == function)
            return dll_command(static_cast<uint32_t>(i));
    return nullptr;
}

std::optional<Wininet> bound_wininet() {
    const Program *p = state().program.get();
    if (!p) return std::nullopt;
    Wininet w;
    auto bind = [&](auto &slot, const char *name) {
        slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(bound_wininet_function(*p, name));
        return slot != nullptr;
    };
    bool all = bind(w.open, "InternetOpenA") & bind(w.connect, "InternetConnectA") &
               bind(w.open_request, "HttpOpenRequestA") & bind(w.send, "HttpSendRequestA") &
               bind(w.read, "InternetReadFile") & bind(w.close, "InternetCloseHandle");
    if (!all) return std::nullopt;
    return w;
}

std::string trimmed(const std::string &s) {
    size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

// The handles of one read, closed request first.
struct Handles {
    const Wininet &w;
    HINTERNET internet = nullptr, connection = nullptr, request = nullptr;
    ~Handles() {
        for (HINTERNET h : {request, connection, internet})
            if (h) w.close(h);
    }
};

// The whole body, or nothing when the exchange fails or the body passes the
// bound; a positive `most` ends the read after that many bytes.
QByteArray read_page(const Wininet &w, const PageAddress &address, qsizetype most) {
    Handles h{w};
    h.internet = w.open(TOLVAR_USER_AGENT, INTERNET_OPEN_TYPE_DIRECT, "", "", 0);
    if (!h.internet) return {};
    h.connection = w.connect(h.internet, address.host.c_str(), address.port, "", "", INTERNET_SERVICE_HTTP, 0, 0);
    if (!h.connection) return {};
    h.request = w.open_request(h.connection, "GET", address.path.c_str(), "HTTP/1.1", nullptr, nullptr,
                               INTERNET_FLAG_RELOAD, 0);
    if (!h.request || !w.send(h.request, "", 0, nullptr, 0)) return {};
    QByteArray page;
    std::vector<char> piece(kPiece);
    for (;;) {
        DWORD count = 0;
        if (!w.read(h.request, piece.data(), kPiece, &count)) return {};
        if (count == 0) break;
        if (most > 0 && page.size() + count >= most) {
            page.append(piece.data(), most - page.size());
            break;
        }
        if (page.size() + count > kLargestPage) return {};
        page.append(piece.data(), count);
        process_pending_events();
    }
    return page;
}

}  // namespace

std::optional<PageAddress> page_address(std::string address) {
    address = trimmed(address);
    if (platform::ascii_lower(address.substr(0, 7)) == "http://") address.erase(0, 7);
    else if (address.find("://") != std::string::npos) return std::nullopt;
    size_t end = address.find_first_of("/?");
    std::string authority = address.substr(0, end);
    PageAddress out;
    out.path = end == std::string::npos ? "/" : address.substr(end);
    if (out.path[0] == '?') out.path.insert(out.path.begin(), '/');
    size_t colon = authority.find(':');
    out.host = authority.substr(0, colon);
    if (out.host.empty()) return std::nullopt;
    if (colon != std::string::npos && colon + 1 < authority.size()) {
        std::string port = authority.substr(colon + 1);
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
        unsigned long number = std::stoul(port);
        if (number < 1 || number > 65535) return std::nullopt;
        out.port = static_cast<uint16_t>(number);
    }
    return out;
}

tolvar_arg internet_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    if (command != TOLVAR_LCMD_READ_PAGE || count < 1) return no_value();
    QByteArray gbk = platform::to_gbk(text_arg(args[0]));
    auto address = page_address(gbk.toStdString());
    auto wininet = bound_wininet();
    if (!address || !wininet) return bytes_value({});
    return bytes_value(read_page(*wininet, *address, count > 1 ? int_arg(args[1]) : 0));
}

}  // namespace tolvar::kernel
