#include "server/registration.h"

#include "server/members.h"
#include "server/pages.h"
#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

// The voice requests' address column holds the client's network, so that
// addresses rotated inside one network share its limit.
static bool within_limits(Connection &c, std::string_view number, std::string_view network, int64_t now,
                          const Settings &settings) {
    Query by_number(c, "SELECT COUNT(*) FROM voice_requests WHERE number = ?1 AND requested_at > ?2", number,
                    now - voice_number_window);
    if (by_number.next() && by_number.integer(0) >= settings.voice_calls_per_number) return false;
    Query by_network(c, "SELECT COUNT(*) FROM voice_requests WHERE address = ?1 AND requested_at > ?2", network,
                     now - voice_network_window);
    return !(by_network.next() && by_network.integer(0) >= settings.voice_calls_per_network);
}

Reply voice_code_request(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberMobile");
    const std::string &referrer_field = value_of(request.form, "tel");
    if (!request.fields_ok || !is_mobile_number(number)) return page_reply(pages::voice_code_refused());
    std::optional<std::string> referrer;
    if (is_mobile_number(referrer_field) && referrer_field != number) referrer = referrer_field;

    int64_t now = ctx.now();
    std::string code = random_digits(6);
    {
        auto c = ctx.database.lease();
        WriteTransaction tx(*c);
        if (!within_limits(*c, number, request.network, now, ctx.settings)) {
            ctx.log.line("voice code refused for " + number + ": too many requests");
            return page_reply(pages::voice_code_limited());
        }
        execute(*c, "DELETE FROM voice_requests WHERE requested_at <= ?1", now - voice_network_window);
        execute(*c, "INSERT INTO voice_requests (number, address, requested_at) VALUES (?1, ?2, ?3)", number,
                request.network, now);
        execute(*c,
                "INSERT OR REPLACE INTO voice_codes (number, code, referrer, expires_at, wrong_attempts)"
                " VALUES (?1, ?2, ?3, ?4, 0)",
                number, code, referrer, now + voice_code_lifetime);
        tx.commit();
    }
    // The voice gateway: a deployment would have the number rung and the code spoken.
    ctx.log.line("voice code for " + number + ": " + code);
    return page_reply(pages::voice_code_sent());
}

Reply registration_confirm(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &number = value_of(request.form, "MemberMobile");
    const std::string &code = value_of(request.form, "VerifyCode");
    if (!request.fields_ok || !is_mobile_number(number)) return page_reply(pages::registration_failed());

    int64_t now = ctx.now();
    auto c = ctx.database.lease();
    WriteTransaction tx(*c);
    std::string expected;
    std::optional<std::string> referrer;
    int64_t expires_at = 0, wrong_attempts = 0;
    {
        Query q(*c, "SELECT code, referrer, expires_at, wrong_attempts FROM voice_codes WHERE number = ?1", number);
        if (!q.next()) return page_reply(pages::registration_failed());
        expected = q.text(0);
        if (!q.is_null(1)) referrer = q.text(1);
        expires_at = q.integer(2);
        wrong_attempts = q.integer(3);
    }
    if (now >= expires_at) {
        execute(*c, "DELETE FROM voice_codes WHERE number = ?1", number);
        tx.commit();
        return page_reply(pages::registration_failed());
    }
    if (code != expected) {
        if (wrong_attempts + 1 >= voice_code_attempts)
            execute(*c, "DELETE FROM voice_codes WHERE number = ?1", number);
        else
            execute(*c, "UPDATE voice_codes SET wrong_attempts = wrong_attempts + 1 WHERE number = ?1", number);
        tx.commit();
        return page_reply(pages::registration_failed());
    }
    execute(*c, "DELETE FROM voice_codes WHERE number = ?1", number);
    auto registration = register_member(*c, number, referrer, now);
    if (!registration) return page_reply(pages::registration_failed());
    tx.commit();
    if (registration->created)
        ctx.log.line("member " + std::to_string(registration->member.id) + " registered: " + number +
                     (referrer ? " (referrer " + *referrer + ")" : ""));
    return page_reply(pages::registered());
}

}  // namespace tolvar::server
