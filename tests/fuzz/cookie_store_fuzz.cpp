// libFuzzer target: cookies of a reply's header block through the wininet
// stand-in's cookie store (libcurl's, as every request uses it) into the
// per-user cookie file. Every "Set-Cookie: " line goes in as the web access
// routine hands it over; once settled, the file holds only cookie lines its
// own reader takes back, at most the per-domain bound of them, and never a
// session cookie.
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/cookie_file.h"
#include "platform/wininet_cookies.h"
#include "tests/fuzz/fuzz_check.h"
#include "web/reply_cookies.h"

using namespace tolvar::wininet;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    static char folder[] = "/tmp/tolvar-cookie-store-fuzz-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    setenv("XDG_DATA_HOME", folder, 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view block(reinterpret_cast<const char *>(data), size);
    for (const auto &cookie : tolvar::web::reply_cookies(block)) set_cookie("http://www.example.com", cookie.name, cookie.data);
    settle_cookies();

    std::ifstream file(cookie_file(), std::ios::binary);
    if (!file) return 0;  // nothing persistent was ever stored
    std::stringstream content;
    content << file.rdbuf();
    CookieFileLimits limits;
    CookieFileLines lines = cookie_file_lines(content.str(), limits);
    // The header line is a comment; every other line is a cookie the reader keeps.
    FUZZ_CHECK(lines.ignored == 0);
    FUZZ_CHECK(lines.kept <= 3 * limits.per_host);  // www.example.com, example.com, com
    for (size_t at = 0; at < lines.text.size();) {
        size_t end = lines.text.find('\n', at);
        std::string_view line(lines.text.data() + at, end - at);
        size_t expiry_at = 0;
        for (int i = 0; i < 4; ++i) expiry_at = line.find('\t', expiry_at) + 1;
        FUZZ_CHECK(line.substr(expiry_at, 2) != "0\t");  // a session cookie never reaches the file
        at = end + 1;
    }
    return 0;
}
