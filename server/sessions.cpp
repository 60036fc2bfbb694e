#include "server/sessions.h"

#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

static constexpr int64_t anonymous_lifetime = 60 * 60;
static constexpr int64_t member_lifetime = 7 * 24 * 60 * 60;
// A logged-in session's expiry is written again once it is this much older.
static constexpr int64_t refresh_after = 60 * 60;

std::optional<Session> find_session(Storage &storage, std::string_view token, int64_t now) {
    if (!is_token(token)) return std::nullopt;
    auto record = storage.find_session(token, now);
    if (!record) return std::nullopt;
    if (record->member_id && record->expires_at - now < member_lifetime - refresh_after)
        storage.extend_session(token, now + member_lifetime);
    return Session{std::string(token), record->member_id};
}

std::optional<int64_t> session_member(Storage &storage, std::string_view token, int64_t now) {
    auto session = find_session(storage, token, now);
    return session ? session->member_id : std::nullopt;
}

std::string create_session(Storage &storage, int64_t now) {
    std::string token = random_hex(16);
    storage.open_session(token, now + anonymous_lifetime, now);
    return token;
}

void set_captcha(Storage &storage, std::string_view token, std::string_view code, int64_t now) {
    storage.set_captcha(token, code, now + captcha_lifetime);
}

void log_in(Storage &storage, std::string_view token, int64_t member_id, int64_t now) {
    storage.log_in(token, member_id, now + member_lifetime);
}

std::string session_cookie(std::string_view token) {
    return std::string(session_cookie_name) + "=" + std::string(token) + "; path=/; HttpOnly; SameSite=Lax";
}

}  // namespace tolvar::server
