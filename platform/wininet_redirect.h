// Redirects as WinINet follows them: which replies are followed, where to,
// and what becomes of the method, the body and the form's header lines.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tolvar::wininet {

// One request of a chain: method, where, the caller's header lines, the body.
struct Hop {
    std::string method;
    std::string host;
    uint16_t port = 80;
    std::string path;  // path and query, beginning with "/"
    std::string headers;
    std::string body;

    // Two hops with the same key ask the same thing: a chain that comes back to one is a loop.
    std::string key() const;
};

// A chain ends after this many redirects as a failed exchange.
inline constexpr int kMaxRedirects = 10;

struct Redirect {
    enum class Kind {
        none,    // not a redirect that is followed: this reply is the final one
        follow,  // `next` is the request to make
        refuse,  // a redirect that cannot be followed (another scheme, no usable address)
    } kind = Kind::none;
    Hop next;
};

// The reply to `from` had `status` and the Location header `location` (empty:
// none). 301, 302, 303, 307 and 308 with a Location are followed: 301, 302
// and 303 turn any method but GET and HEAD into a GET without body and without
// the Content-Type and Content-Length lines of the form; 307 and 308 repeat
// the request as it was. The Location is resolved against `from` (absolute
// "http://" addresses, "//host/path", "/path", "?query", relative paths; a
// fragment is dropped); another scheme is refused.
Redirect redirect_of(const Hop &from, int status, std::string_view location);

}  // namespace tolvar::wininet
