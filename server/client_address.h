// Who a request comes from: the peer, or behind a trusted reverse proxy the
// address that proxy appended to X-Forwarded-For; and the network that every
// per-address limit counts, so that rotating addresses inside one network
// does not escape a limit.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvar::server {

// A numeric IPv4 or IPv6 address.
bool is_ip_address(std::string_view text);

// The address in one spelling: dotted IPv4 (an IPv4-mapped IPv6 address
// becomes its IPv4 address), IPv6 as inet_ntop writes it; empty when `text`
// is not an address.
std::string canonical_address(std::string_view text);

// "a.b.c.0/24" for IPv4 (mapped IPv6 included), the /64 prefix for IPv6
// ("2001:db8:1:2::/64"); text that is not an address stands for itself.
std::string client_network(std::string_view address);

// The client's address: when the peer is one of `trusted_proxies`, the
// right-most entry of the last X-Forwarded-For line (if it is an address);
// otherwise the peer's. Canonical.
std::string client_address(std::string_view peer, const std::vector<std::string> &forwarded_for,
                           const std::vector<std::string> &trusted_proxies);

// Whether `peer` is one of `trusted_proxies` (spellings compared canonically).
bool is_trusted_proxy(std::string_view peer, const std::vector<std::string> &trusted_proxies);

}  // namespace tolvar::server
