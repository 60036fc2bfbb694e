// libFuzzer target: the cookie file as it is read back at start. What is kept
// is within the limits, is made of whole cookie lines of the file, and reads
// back unchanged; a bounded read of the file stops at the bound on a line's end.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <string>

#include "platform/cookie_file.h"
#include "tests/fuzz/fuzz_check.h"

using namespace tolvar::wininet;

namespace {

void lines_within(std::string_view content, const CookieFileLimits &limits) {
    CookieFileLines out = cookie_file_lines(content, limits);
    FUZZ_CHECK(out.kept <= limits.cookies);
    FUZZ_CHECK(out.text.size() <= content.size() + out.kept);
    FUZZ_CHECK(static_cast<size_t>(std::count(out.text.begin(), out.text.end(), '\n')) == out.kept);
    size_t at = 0;
    while (at < out.text.size()) {
        size_t end = out.text.find('\n', at);
        std::string_view line(out.text.data() + at, end - at);
        FUZZ_CHECK(std::count(line.begin(), line.end(), '\t') == 6);
        FUZZ_CHECK(line.size() <= limits.line_length);
        FUZZ_CHECK(content.find(line) != std::string_view::npos);
        at = end + 1;
    }
    CookieFileLines again = cookie_file_lines(out.text, limits);
    FUZZ_CHECK(again.text == out.text && again.kept == out.kept && again.ignored == 0);
}

void bounded_read(std::string_view content) {
    int fd = memfd_create("cookies", MFD_CLOEXEC);
    if (fd < 0) return;
    if (write(fd, content.data(), content.size()) == static_cast<ssize_t>(content.size())) {
        size_t limit = content.size() / 2;
        CookieFileContent read = read_cookie_file("/proc/self/fd/" + std::to_string(fd), limit);
        FUZZ_CHECK(read.problem.empty());
        FUZZ_CHECK(read.bytes.size() <= limit);
        FUZZ_CHECK(content.substr(0, read.bytes.size()) == read.bytes);
        FUZZ_CHECK(read.cut == (limit < content.size() && limit > 0) || limit == 0);
        if (read.cut) FUZZ_CHECK(read.bytes.empty() || read.bytes.back() == '\n');
    }
    close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string_view content(reinterpret_cast<const char *>(data), size);
    lines_within(content, CookieFileLimits{});
    lines_within(content, CookieFileLimits{1 << 20, 8, 3, 128});
    bounded_read(content);
    return 0;
}
