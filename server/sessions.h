// Sessions, known by a random 128-bit cookie: the captcha last shown to the
// session (single use) and, after a login, its member. A session that never
// logs in lives an hour; a logged-in one a week from its last use.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "server/storage/storage.h"

namespace tolvar::server {

inline constexpr const char *session_cookie_name = "sid";
inline constexpr int64_t captcha_lifetime = 10 * 60;

struct Session {
    std::string token;
    std::optional<int64_t> member_id;
};

// The live session of that cookie; refreshes a logged-in session's lifetime.
std::optional<Session> find_session(Storage &storage, std::string_view token, int64_t now);

// The member logged in on that cookie's session, if any.
std::optional<int64_t> session_member(Storage &storage, std::string_view token, int64_t now);

// A new session without a member; its token.
std::string create_session(Storage &storage, int64_t now);

void set_captcha(Storage &storage, std::string_view token, std::string_view code, int64_t now);

void log_in(Storage &storage, std::string_view token, int64_t member_id, int64_t now);

// The "Set-Cookie" value for a session token.
std::string session_cookie(std::string_view token);

}  // namespace tolvar::server
