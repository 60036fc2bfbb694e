// One request as the endpoint handlers see it, and what they answer: plain
// data, apart from the HTTP library.
#pragma once

#include <string>

#include "server/form.h"
#include "server/log.h"
#include "server/service_time.h"
#include "server/settings.h"
#include "server/storage/storage.h"

namespace tolvar::server {

struct ServiceRequest {
    std::string method;          // "GET" or "POST"
    std::string path;            // "/url.php"
    Fields query;                // from the address's query
    Fields form;                 // from a POST body
    bool fields_ok = true;       // false when the query or the body was malformed
    std::string session_token;   // the session cookie, or empty
    // The client's address: the peer's, or behind a trusted proxy the one
    // it appended to X-Forwarded-For; and its network (IPv4 /24, IPv6 /64),
    // which every per-address limit counts.
    std::string remote_address;
    std::string network;
};

struct Reply {
    std::string body;  // GBK bytes (or the PNG of a captcha)
    std::string content_type = "text/html; charset=gb2312";
    std::string session_cookie;  // set as the session cookie when not empty
};

inline Reply page_reply(const std::string &body) {
    Reply reply;
    reply.body = body;
    return reply;
}

// What every handler works with: the storage, the log, the time, and the
// operator's settings as they stand for this request.
struct ServiceContext {
    Storage &storage;
    Log &log;
    Clock now;
    const Settings &settings = default_settings();
};

// The field's value, or empty text when the field is missing.
inline const std::string &value_of(const Fields &fields, std::string_view name) {
    static const std::string empty;
    const std::string *v = field(fields, name);
    return v ? *v : empty;
}

}  // namespace tolvar::server
