// Sessions, known by a random 128-bit cookie: the captcha last shown to the
// session (single use) and, after a login, its member. A session without a
// member lives minutes; a login gives the session a new cookie and a bounded
// life that use does not lengthen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/settings.h"
#include "server/storage/storage.h"

namespace tolvar::server {

inline constexpr const char *session_cookie_name = "sid";
inline constexpr int64_t captcha_lifetime = 10 * 60;

struct Session {
    std::string token;
    std::optional<int64_t> member_id;
};

// The live session of that cookie.
std::optional<Session> find_session(Storage &storage, std::string_view token, int64_t now);

// The member logged in on that cookie's session, if any.
std::optional<int64_t> session_member(Storage &storage, std::string_view token, int64_t now);

// A new session without a member, opened from `network`; its token, or
// empty when the network holds as many such sessions as it may.
std::string create_session(Storage &storage, const Settings &settings, std::string_view network, int64_t now);

void set_captcha(Storage &storage, std::string_view token, std::string_view code, int64_t now);

// Logs the session in as the member under a new token, which it returns
// (empty when the session is gone).
std::string log_in(Storage &storage, const Settings &settings, std::string_view token, int64_t member_id,
                   int64_t now);

// The "Set-Cookie" value for a session token: a cookie of the program's run
// (no expiry), never sent to scripts or by other sites' requests.
std::string session_cookie(std::string_view token);

}  // namespace tolvar::server
