#include "server/sessions.h"

#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

static constexpr int64_t anonymous_lifetime = 60 * 60;
static constexpr int64_t member_lifetime = 7 * 24 * 60 * 60;
// A logged-in session's expiry is written again once it is this much older.
static constexpr int64_t refresh_after = 60 * 60;

std::optional<Session> find_session(Connection &c, std::string_view token, int64_t now) {
    if (!is_token(token)) return std::nullopt;
    Session session{std::string(token), std::nullopt};
    int64_t expires_at = 0;
    {
        Query q(c, "SELECT member_id, expires_at FROM sessions WHERE token = ?1 AND expires_at > ?2", token, now);
        if (!q.next()) return std::nullopt;
        if (!q.is_null(0)) session.member_id = q.integer(0);
        expires_at = q.integer(1);
    }
    if (session.member_id && expires_at - now < member_lifetime - refresh_after)
        execute(c, "UPDATE sessions SET expires_at = ?2 WHERE token = ?1", token, now + member_lifetime);
    return session;
}

std::optional<int64_t> session_member(Connection &c, std::string_view token, int64_t now) {
    auto session = find_session(c, token, now);
    return session ? session->member_id : std::nullopt;
}

std::string create_session(Connection &c, int64_t now) {
    execute(c, "DELETE FROM sessions WHERE expires_at <= ?1", now);
    std::string token = random_hex(16);
    execute(c, "INSERT INTO sessions (token, expires_at) VALUES (?1, ?2)", token, now + anonymous_lifetime);
    return token;
}

void set_captcha(Connection &c, std::string_view token, std::string_view code, int64_t now) {
    execute(c, "UPDATE sessions SET captcha = ?2, captcha_expires_at = ?3 WHERE token = ?1", token, code,
            now + captcha_lifetime);
}

bool use_captcha(Connection &c, std::string_view token, std::string_view typed, int64_t now) {
    // One statement decides, so two attempts at once cannot both use the code.
    bool right = !typed.empty() &&
                 execute(c,
                         "UPDATE sessions SET captcha = NULL, captcha_expires_at = NULL"
                         " WHERE token = ?1 AND captcha = ?2 AND captcha_expires_at > ?3",
                         token, typed, now) == 1;
    if (!right)
        execute(c, "UPDATE sessions SET captcha = NULL, captcha_expires_at = NULL WHERE token = ?1", token);
    return right;
}

void log_in(Connection &c, std::string_view token, int64_t member_id, int64_t now) {
    execute(c, "UPDATE sessions SET member_id = ?2, expires_at = ?3 WHERE token = ?1", token, member_id,
            now + member_lifetime);
}

std::string session_cookie(std::string_view token) {
    return std::string(session_cookie_name) + "=" + std::string(token) + "; path=/; HttpOnly; SameSite=Lax";
}

}  // namespace tolvar::server
