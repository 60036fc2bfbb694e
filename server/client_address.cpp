#include "server/client_address.h"

#include <arpa/inet.h>

#include <cstring>

namespace tolvar::server {

namespace {

struct Parsed {
    bool v4 = false;
    unsigned char bytes[16] = {};
};

std::optional<Parsed> parse(std::string_view text) {
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string s(text);
    Parsed p;
    if (inet_pton(AF_INET, s.c_str(), p.bytes) == 1) {
        p.v4 = true;
        return p;
    }
    if (inet_pton(AF_INET6, s.c_str(), p.bytes) != 1) return std::nullopt;
    static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
    if (std::memcmp(p.bytes, mapped, 12) == 0) {
        std::memmove(p.bytes, p.bytes + 12, 4);
        std::memset(p.bytes + 4, 0, 12);
        p.v4 = true;
    }
    return p;
}

std::string text_of(const Parsed &p) {
    char out[INET6_ADDRSTRLEN] = {};
    inet_ntop(p.v4 ? AF_INET : AF_INET6, p.bytes, out, sizeof out);
    return out;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

}  // namespace

bool is_ip_address(std::string_view text) { return parse(text).has_value(); }

std::string canonical_address(std::string_view text) {
    auto p = parse(text);
    return p ? text_of(*p) : std::string();
}

std::string client_network(std::string_view address) {
    auto p = parse(address);
    if (!p) return std::string(address);
    if (p->v4) {
        p->bytes[3] = 0;
        return text_of(*p) + "/24";
    }
    std::memset(p->bytes + 8, 0, 8);
    return text_of(*p) + "/64";
}

bool is_trusted_proxy(std::string_view peer, const std::vector<std::string> &trusted_proxies) {
    std::string canonical = canonical_address(peer);
    if (canonical.empty()) return false;
    for (const std::string &proxy : trusted_proxies)
        if (canonical_address(proxy) == canonical) return true;
    return false;
}

std::string client_address(std::string_view peer, const std::vector<std::string> &forwarded_for,
                           const std::vector<std::string> &trusted_proxies) {
    std::string own = canonical_address(peer);
    if (own.empty()) own = std::string(peer);
    if (forwarded_for.empty() || !is_trusted_proxy(peer, trusted_proxies)) return own;
    std::string_view line = forwarded_for.back();
    size_t comma = line.rfind(',');
    std::string appended = canonical_address(trimmed(comma == std::string_view::npos ? line : line.substr(comma + 1)));
    return appended.empty() ? own : appended;
}

}  // namespace tolvar::server
