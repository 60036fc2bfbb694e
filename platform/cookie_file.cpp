#include "platform/cookie_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <map>

#include "platform/ascii.h"

namespace tolvar::wininet {

namespace {

constexpr std::string_view kHttpOnly = "#HttpOnly_";

bool is_flag(std::string_view f) { return f == "TRUE" || f == "FALSE"; }

bool printable(std::string_view f) {
    return std::none_of(f.begin(), f.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

bool host_text(std::string_view f) {
    return !f.empty() && std::all_of(f.begin(), f.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
    });
}

// The domain a cookie line belongs to (lower case, no dot in front), or empty
// when the line is no cookie line.
std::string cookie_line_domain(std::string_view line) {
    std::string_view fields[7];
    size_t at = 0;
    for (int i = 0; i < 7; ++i) {
        size_t tab = line.find('\t', at);
        if ((i < 6) == (tab == std::string::npos)) return {};
        fields[i] = line.substr(at, i < 6 ? tab - at : std::string::npos);
        at = tab + 1;
    }
    std::string_view domain = fields[0];
    if (domain.substr(0, kHttpOnly.size()) == kHttpOnly) domain.remove_prefix(kHttpOnly.size());
    if (!domain.empty() && domain[0] == '.') domain.remove_prefix(1);
    const std::string_view &path = fields[2], &expiry = fields[4], &name = fields[5], &value = fields[6];
    if (!host_text(domain) || !is_flag(fields[1]) || !is_flag(fields[3])) return {};
    if (path.empty() || path[0] != '/' || !printable(path)) return {};
    if (expiry.empty() || expiry.size() > 19 ||
        !std::all_of(expiry.begin(), expiry.end(), [](unsigned char c) { return std::isdigit(c); }))
        return {};
    if (name.empty() || !printable(name) || !printable(value)) return {};
    return platform::ascii_lower(std::string(domain));
}

}  // namespace

CookieFileLines cookie_file_lines(std::string_view content, const CookieFileLimits &limits) {
    CookieFileLines out;
    std::map<std::string, size_t> per_host;
    size_t at = 0;
    while (at < content.size()) {
        size_t end = content.find('\n', at);
        std::string_view line = content.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? content.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if (line[0] == '#' && line.substr(0, kHttpOnly.size()) != kHttpOnly) continue;
        std::string domain = line.size() <= limits.line_length ? cookie_line_domain(line) : std::string();
        if (domain.empty() || out.kept >= limits.cookies || per_host[domain] >= limits.per_host) {
            ++out.ignored;
            continue;
        }
        ++per_host[domain];
        ++out.kept;
        out.text.append(line);
        out.text += '\n';
    }
    return out;
}

CookieFileContent read_cookie_file(const std::string &path, size_t limit) {
    CookieFileContent out;
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) out.problem = std::strerror(errno);
        return out;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        out.problem = S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
        close(fd);
        return out;
    }
    out.bytes.resize(std::min<size_t>(limit, static_cast<size_t>(std::max<off_t>(st.st_size, 0))));
    size_t have = 0;
    while (have < out.bytes.size()) {
        ssize_t n = ::read(fd, out.bytes.data() + have, out.bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            out.problem = std::strerror(errno);
            break;
        }
        if (n == 0) break;
        have += static_cast<size_t>(n);
    }
    out.bytes.resize(have);
    char more;
    out.cut = have == limit && ::read(fd, &more, 1) == 1;
    close(fd);
    if (out.cut) {
        // The last line is cut in two: it is not read at all.
        size_t last = out.bytes.rfind('\n');
        out.bytes.resize(last == std::string::npos ? 0 : last + 1);
    }
    return out;
}

}  // namespace tolvar::wininet
