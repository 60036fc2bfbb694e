// The operator's choices that handlers and the HTTP front work with: limits,
// trusted proxies, the call shapes allowed, verbosity. Each has a default
// here; `--config` and the command line change them (options.h), and SIGHUP
// replaces them while the service runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::server {

// Shapes of a number a free call may go to.
enum CallShape : unsigned {
    call_shape_mobile = 1,    // 11-digit mainland mobile number (1 and 10 digits)
    call_shape_domestic = 2,  // 7 to 12 digits starting with 0, never 00
    call_shape_any = 4,       // 3 to 20 digits, international (00) included
};

struct Settings {
    // Detail lines in the log: captcha codes, one line per request. Tests only.
    bool verbose = false;

    // Peers whose X-Forwarded-For is believed (the right-most entry, the one
    // the proxy appended): numeric IPv4 or IPv6 addresses.
    std::vector<std::string> trusted_proxies;

    // The shapes of number a call may go to (CallShape bits).
    unsigned call_shapes = call_shape_mobile | call_shape_domestic;

    // Voice codes rung per number within ten minutes, and per client network
    // (IPv4 /24, IPv6 /64) within an hour.
    int64_t voice_calls_per_number = 3;
    int64_t voice_calls_per_network = 20;

    // The HTTP front. A request's head (request line to blank line) beyond
    // either bound is refused with 431 (at most 16 KiB and 200 lines); a request that is not whole within `request_timeout`
    // seconds of its first byte (or an idle kept connection after that long)
    // is cut off; one network may hold `connections_per_network` connections
    // at once (0: no limit; trusted proxies are not limited).
    int64_t header_bytes = 16 * 1024;
    int64_t header_lines = 100;
    int64_t request_timeout = 10;
    int64_t connections_per_network = 64;
};

// The settings a handler sees when nobody chose otherwise.
const Settings &default_settings();

}  // namespace tolvar::server
