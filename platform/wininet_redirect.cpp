#include "platform/wininet_redirect.h"

#include <cctype>

#include "platform/ascii.h"

namespace tolvar::wininet {

namespace {

bool followed_status(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

// The scheme of an address ("http", "https", ...), lower case; empty when it has none.
std::string scheme_of(std::string_view location) {
    size_t colon = location.find(':');
    if (colon == std::string_view::npos || colon == 0) return {};
    std::string_view scheme = location.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(scheme[0]))) return {};
    for (char c : scheme)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return {};
    return platform::ascii_lower(std::string(scheme));
}

// "host[:port]" after "//"; false when the port is not a port.
bool take_authority(std::string_view authority, Hop &to) {
    size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);  // user information is not sent
    size_t colon = authority.rfind(':');
    if (!authority.empty() && authority.front() == '[') {
        size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        colon = authority.find(':', close);
    }
    to.host = platform::ascii_lower(std::string(authority.substr(0, colon)));
    to.port = 80;
    if (colon != std::string_view::npos) {
        std::string_view digits = authority.substr(colon + 1);
        if (digits.empty()) return !to.host.empty();
        if (digits.size() > 5) return false;
        unsigned port = 0;
        for (char c : digits) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port == 0 || port > 65535) return false;
        to.port = static_cast<uint16_t>(port);
    }
    return !to.host.empty();
}

// Removes the header lines with this (lower-case) name from a CR LF text.
std::string without_lines(const std::string &headers, std::initializer_list<std::string_view> names) {
    std::string out;
    size_t at = 0;
    while (at < headers.size()) {
        size_t end = headers.find('\n', at);
        end = end == std::string::npos ? headers.size() : end + 1;
        std::string_view line(headers.data() + at, end - at);
        at = end;
        size_t colon = line.find(':');
        std::string name = platform::ascii_lower(std::string(trimmed(line.substr(0, colon))));
        bool dropped = false;
        for (std::string_view n : names) dropped |= colon != std::string_view::npos && name == n;
        if (!dropped) out += line;
    }
    return out;
}

}  // namespace

std::string Hop::key() const {
    return method + " " + host + ":" + std::to_string(port) + path + "\n" + body;
}

Redirect redirect_of(const Hop &from, int status, std::string_view location) {
    Redirect r;
    location = trimmed(location);
    if (!followed_status(status) || location.empty()) return r;
    location = location.substr(0, location.find('#'));
    r.kind = Redirect::Kind::refuse;
    Hop &to = r.next;
    to = from;
    std::string scheme = scheme_of(location);
    if (!scheme.empty() && scheme != "http") return r;
    if (!scheme.empty()) location.remove_prefix(scheme.size() + 1);
    if (location.substr(0, 2) == "//") {
        location.remove_prefix(2);
        size_t end = location.find_first_of("/?");
        if (!take_authority(location.substr(0, end), to)) return r;
        location = end == std::string_view::npos ? std::string_view("/") : location.substr(end);
    } else if (!scheme.empty()) {
        return r;  // "http:path" names no host
    }
    std::string path(location);
    if (path.empty()) {
        path = from.path;
    } else if (path[0] == '?') {
        path = from.path.substr(0, from.path.find('?')) + path;
    } else if (path[0] != '/') {
        std::string base = from.path.substr(0, from.path.find('?'));
        path = base.substr(0, base.rfind('/') + 1) + path;
    }
    to.path = path;
    bool keeps_method = status == 307 || status == 308 || from.method == "GET" || from.method == "HEAD";
    if (!keeps_method) {
        to.method = "GET";
        to.body.clear();
        to.headers = without_lines(from.headers, {"content-type", "content-length"});
    }
    r.kind = Redirect::Kind::follow;
    return r;
}

}  // namespace tolvar::wininet
