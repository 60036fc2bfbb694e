// InternetSetCookieA's reading of a cookie, as a line of the Netscape cookie
// file that libcurl's store takes: pure text work, no store involved.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvar::wininet {

// A cookie whose name and value together are longer than this is refused, as
// WinINet refuses one beyond its limit.
inline constexpr size_t kMaxCookieBytes = 4096;

struct CookieRecord {
    std::string domain;  // lower case, without a leading dot
    bool whole_domain = false;  // "domain=" named: subdomains get it too
    std::string path;
    long long expiry = 0;  // 0: a session cookie; 1: expired, deletes the cookie
    std::string name;
    std::string value;

    // The Netscape cookie-file line: domain, subdomains, path, secure, expiry, name, value.
    std::string line() const;
    // Two records with the same key are the same cookie.
    std::string key() const;
};

// The value ends at the first ';' of `data`; "domain=" (a leading dot dropped)
// must match the address's host; "path=" as given when it begins with "/",
// else the directory of the address's path; "expires=" makes the cookie persistent, and a date in the
// past (or one that cannot be read) deletes it; other attributes are ignored.
// Nothing when the address is not an http(s) address, the name is empty, the
// domain does not fit, a field holds a control character, or the cookie is
// longer than kMaxCookieBytes.
std::optional<CookieRecord> cookie_record(std::string_view url, std::string_view name, std::string_view data);

}  // namespace tolvar::wininet
