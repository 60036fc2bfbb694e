// libFuzzer target: a reply's header block on its way into the cookie store:
// the web access routine's walk over its "Set-Cookie: " lines, then
// InternetSetCookieA's reading of each cookie, then the cookie file's reader
// on the line the store would keep. No cookie leaves its line, none is longer
// than the bound, none holds a control byte, and a persistent cookie the store
// keeps is read back from the cookie file as it was written.
#include <string>

#include "platform/cookie_file.h"
#include "platform/cookie_text.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/reply_cookies.h"

namespace {

constexpr const char *kAddress = "http://www.example.com";  // what the routine passes: "http://" + host

size_t line_count(std::string_view block) {
    size_t lines = 1;
    for (size_t at = block.find("\r\n"); at != std::string_view::npos; at = block.find("\r\n", at + 2)) ++lines;
    return lines;
}

bool has_control_byte(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20 || c == 0x7F) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view block(reinterpret_cast<const char *>(data), size);
    auto cookies = tolvar::web::reply_cookies(block);
    FUZZ_CHECK(cookies.size() <= line_count(block));
    size_t bytes = 0;
    for (const auto &cookie : cookies) {
        FUZZ_CHECK(cookie.name.find("\r\n") == std::string::npos && cookie.data.find("\r\n") == std::string::npos);
        FUZZ_CHECK(cookie.name.find('=') == std::string::npos);
        bytes += cookie.name.size() + cookie.data.size();

        auto record = tolvar::wininet::cookie_record(kAddress, cookie.name, cookie.data);
        if (!record) continue;
        FUZZ_CHECK(record->name == cookie.name);
        FUZZ_CHECK(record->name.size() + record->value.size() <= tolvar::wininet::kMaxCookieBytes);
        FUZZ_CHECK(!has_control_byte(record->name) && !has_control_byte(record->value) &&
                   !has_control_byte(record->path) && !has_control_byte(record->domain));
        FUZZ_CHECK(record->domain == "www.example.com" || record->domain == "example.com" || record->domain == "com");
        FUZZ_CHECK(!record->path.empty());
        std::string line = record->line();
        if (record->expiry > 1 && record->path[0] == '/') {
            auto read = tolvar::wininet::cookie_file_lines(line + "\n");
            FUZZ_CHECK(read.kept == 1 && read.text == line + "\n");
        }
    }
    FUZZ_CHECK(bytes <= size);
    return 0;
}
