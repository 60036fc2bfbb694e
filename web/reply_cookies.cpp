#include "web/reply_cookies.h"

#include "web/text_ops.h"

namespace tolvar::web {

namespace {
constexpr std::string_view kCookieMarker = "Set-Cookie: ";
}  // namespace

std::vector<ReplyCookie> reply_cookies(std::string_view block) {
    std::vector<ReplyCookie> cookies;
    if (find_ignoring_case(block, kCookieMarker) == std::string::npos) return cookies;
    size_t at = 0;
    while (at < block.size()) {
        size_t end = block.find("\r\n", at);
        std::string_view line = block.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? block.size() : end + 2;
        if (find_ignoring_case(line.substr(0, kCookieMarker.size()), kCookieMarker) != 0) continue;
        std::string_view cookie = line.substr(kCookieMarker.size());
        size_t eq = cookie.find('=');
        if (eq == std::string::npos) continue;  // a line without a name is not a cookie
        cookies.push_back({std::string(cookie.substr(0, eq)), std::string(cookie.substr(eq + 1))});
    }
    return cookies;
}

}  // namespace tolvar::web
