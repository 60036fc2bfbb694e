#include "server/sessions.h"

#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

std::optional<Session> find_session(Storage &storage, std::string_view token, int64_t now) {
    if (!is_token(token)) return std::nullopt;
    auto record = storage.find_session(token, now);
    if (!record) return std::nullopt;
    return Session{std::string(token), record->member_id};
}

std::optional<int64_t> session_member(Storage &storage, std::string_view token, int64_t now) {
    auto session = find_session(storage, token, now);
    return session ? session->member_id : std::nullopt;
}

std::string create_session(Storage &storage, const Settings &settings, std::string_view network, int64_t now) {
    std::string token = random_hex(16);
    if (!storage.open_session(token, network, now + settings.anonymous_session_minutes * 60, now,
                              settings.sessions_per_network))
        return {};
    return token;
}

void set_captcha(Storage &storage, std::string_view token, std::string_view code, int64_t now) {
    storage.set_captcha(token, code, now + captcha_lifetime);
}

std::string log_in(Storage &storage, const Settings &settings, std::string_view token, int64_t member_id,
                   int64_t now) {
    std::string renewed = random_hex(16);
    if (!storage.renew_session(token, renewed, member_id, now + settings.member_session_hours * 3600)) return {};
    return renewed;
}

std::string session_cookie(std::string_view token) {
    return std::string(session_cookie_name) + "=" + std::string(token) + "; path=/; HttpOnly; SameSite=Lax";
}

}  // namespace tolvar::server
