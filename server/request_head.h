// A request's head as it arrived (method, target, header lines) judged
// before its body is read, and the whole request turned into what handlers
// see. Plain data: the HTTP library fills a RequestHead and sends the
// verdict.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "server/request.h"
#include "server/settings.h"

namespace tolvar::server {

// The largest request body read (a form of the client is far smaller).
inline constexpr size_t largest_body = 64 * 1024;

struct RequestHead {
    std::string method;
    std::string target;  // as sent: path, '?', query
    std::vector<std::pair<std::string, std::string>> headers;  // in order, names as sent
    size_t header_bytes = 0;  // request line and header lines as received
};

struct HeadVerdict {
    int status = 0;          // 0: read the body and answer; else refuse with this
    size_t body_length = 0;  // the Content-Length when accepted
};

// 431 for a header block beyond the settings' bytes or lines; 400 for a
// header name that is not a token, Content-Lengths that differ or one that is
// not a number; 411 for a body without a length (a Transfer-Encoding, or a
// POST without Content-Length); 413 for a body beyond largest_body.
HeadVerdict judge_head(const RequestHead &head, const Settings &settings);

// The values of the header lines named `name` (letter case ignored), in order.
std::vector<std::string> header_values(const RequestHead &head, std::string_view name);

// What a handler sees of the request: HEAD as GET, the path decoded, query
// and form fields, the session cookie, and the client's address and network
// (from X-Forwarded-For only when `peer` is a trusted proxy).
ServiceRequest service_request(const RequestHead &head, std::string_view body, std::string_view peer,
                               const Settings &settings);

}  // namespace tolvar::server
