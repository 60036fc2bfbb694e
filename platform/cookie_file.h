// The per-user cookie file as it is read back: a bounded read of the file, and
// the cookie lines of it that libcurl's store may take, so that a damaged,
// binary or huge file costs no more than a small one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tolvar::wininet {

struct CookieFileLimits {
    size_t bytes = 8u << 20;   // read no further into the file
    size_t cookies = 2000;     // cookie lines kept in all
    size_t per_host = 50;      // cookie lines kept for one domain
    size_t line_length = 8192; // a longer line is no cookie of ours
};

struct CookieFileLines {
    std::string text;    // the kept lines, each ended by a line feed
    size_t kept = 0;
    size_t ignored = 0;  // lines that are no cookie line, or beyond the limits
};

// Netscape cookie-file lines: seven tab-separated fields (domain, TRUE/FALSE,
// path, TRUE/FALSE, expiry in digits, name, value) without control bytes; a
// "#HttpOnly_" prefix is part of the domain field; other lines beginning with
// "#" and blank lines are comments. The first lines within the limits are kept.
CookieFileLines cookie_file_lines(std::string_view content, const CookieFileLimits &limits = {});

struct CookieFileContent {
    std::string bytes;    // up to the byte limit
    bool cut = false;     // the file goes on beyond the limit
    std::string problem;  // why it could not be read (empty: read, or absent)
};

// Reads at most `limit` bytes of a regular file; anything else in its place
// (a folder, a pipe, a device) is a problem, and so is a file that cannot be
// read. An absent file is no problem: it just has no cookies.
CookieFileContent read_cookie_file(const std::string &path, size_t limit);

}  // namespace tolvar::wininet
