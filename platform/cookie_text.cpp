#include "platform/cookie_text.h"

#include <curl/curl.h>

#include <algorithm>

#include "platform/ascii.h"

namespace tolvar::wininet {

namespace {

std::string_view trim(std::string_view s) {
    size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string_view() : s.substr(b, e - b + 1);
}

// A field of a cookie-file line: no tab, no line end, no other control byte.
bool clean(std::string_view field) {
    return std::none_of(field.begin(), field.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

struct UrlParts {
    std::string host;
    std::string path;
};

bool split_url(std::string_view url, UrlParts &out) {
    std::string_view rest;
    if (platform::ascii_lower(std::string(url.substr(0, 7))) == "http://") rest = url.substr(7);
    else if (platform::ascii_lower(std::string(url.substr(0, 8))) == "https://") rest = url.substr(8);
    else return false;
    size_t slash = rest.find('/');
    std::string_view authority = rest.substr(0, slash);
    std::string_view path = slash == std::string::npos ? std::string_view("/") : rest.substr(slash);
    out.path = std::string(path.substr(0, path.find_first_of("?#")));
    out.host = platform::ascii_lower(std::string(authority.substr(0, authority.find(':'))));
    return !out.host.empty();
}

bool domain_matches(const std::string &host, const std::string &domain) {
    return host == domain || (host.size() > domain.size() &&
                              host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
                              host[host.size() - domain.size() - 1] == '.');
}

}  // namespace

std::string CookieRecord::line() const {
    return (whole_domain ? "." : "") + domain + "\t" + (whole_domain ? "TRUE" : "FALSE") + "\t" + path + "\tFALSE\t" +
           std::to_string(expiry) + "\t" + name + "\t" + value;
}

std::string CookieRecord::key() const { return domain + "\t" + path + "\t" + name; }

std::optional<CookieRecord> cookie_record(std::string_view url, std::string_view name, std::string_view data) {
    UrlParts parts;
    if (!split_url(url, parts) || name.empty()) return std::nullopt;
    CookieRecord c;
    c.name = std::string(name);
    size_t semicolon = data.find(';');
    c.value = std::string(trim(data.substr(0, semicolon)));
    std::string domain, expires;
    while (semicolon != std::string::npos) {
        size_t next = data.find(';', semicolon + 1);
        std::string_view attribute =
            trim(data.substr(semicolon + 1, next == std::string::npos ? std::string::npos : next - semicolon - 1));
        semicolon = next;
        size_t eq = attribute.find('=');
        std::string key = platform::ascii_lower(std::string(trim(attribute.substr(0, eq))));
        std::string_view val = eq == std::string::npos ? std::string_view() : trim(attribute.substr(eq + 1));
        if (key == "domain") domain = platform::ascii_lower(std::string(val));
        else if (key == "path") c.path = std::string(val);
        else if (key == "expires") expires = std::string(val);
    }
    if (!domain.empty()) {
        if (domain[0] == '.') domain.erase(0, 1);
        if (!domain_matches(parts.host, domain)) return std::nullopt;
        c.whole_domain = true;
        c.domain = domain;
    } else {
        c.domain = parts.host;
    }
    // A "path=" that does not begin with "/" names no path (no request path
    // would ever match it, and the cookie file could not keep it): the
    // address's directory is used, as for a cookie without one.
    if (c.path.empty() || c.path[0] != '/') {
        c.path = parts.path.substr(0, parts.path.rfind('/'));
        if (c.path.empty()) c.path = "/";
    }
    if (!expires.empty()) {
        time_t t = curl_getdate(expires.c_str(), nullptr);
        c.expiry = t <= 0 ? 1 : static_cast<long long>(t);  // unreadable or past: gone at once
    }
    if (c.name.size() + c.value.size() > kMaxCookieBytes) return std::nullopt;
    if (!clean(c.name) || !clean(c.value) || !clean(c.path) || !clean(c.domain)) return std::nullopt;
    return c;
}

}  // namespace tolvar::wininet
