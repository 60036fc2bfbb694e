#include "web/url.h"

#include <cstdint>

#include "abi/win32.h"
#include "web/text_ops.h"

namespace tolvar::web {

namespace {

// A text read as a decimal number, any fraction dropped: leading blanks, a
// sign and the digits that follow; 0 when there are none. A number beyond the
// 32-bit range stays beyond any port (INT32_MAX or INT32_MIN), so it cannot
// wrap round to a small one.
int32_t text_to_integer(const std::string &text) {
    size_t at = text.find_first_not_of(' ');
    if (at == std::string::npos) return 0;
    bool negative = text[at] == '-';
    if (text[at] == '-' || text[at] == '+') ++at;
    int64_t value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + (text[at] - '0');
        if (value > INT32_MAX) return negative ? INT32_MIN : INT32_MAX;
    }
    return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

std::string url_host(std::string_view address) {
    std::string host = replace_all(replace_all(std::string(address), "https://", ""), "http://", "");
    host = host.substr(0, host.find('/'));
    host = host.substr(0, host.find(':'));
    return ascii_lower(host);
}

std::string url_path(std::string_view address) {
    std::string host = url_host(address);
    // The host is looked for after the scheme's "://", so that the "h" of
    // "http" is never taken for a host "h".
    size_t scheme = address.find("://");
    size_t from = scheme == std::string::npos ? 0 : scheme + 3;
    size_t at = find_ignoring_case(address, host, from);
    size_t slash = address.find('/', at == std::string::npos ? from : at);
    return slash == std::string::npos ? std::string("/") : std::string(address.substr(slash));
}

int32_t url_port(std::string_view address) {
    std::string_view authority;
    if (address.substr(0, 7) == "http://") {
        std::string_view rest = address.substr(7);
        authority = rest.substr(0, rest.find('/'));
    } else {
        authority = address.substr(0, address.find('/'));
    }
    size_t colon = authority.find(':');
    if (colon == std::string::npos) return INTERNET_DEFAULT_HTTP_PORT;
    return text_to_integer(std::string(authority.substr(colon + 1)));
}

}  // namespace tolvar::web
