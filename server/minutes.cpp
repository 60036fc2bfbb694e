#include "server/minutes.h"

#include "server/members.h"
#include "server/pages.h"
#include "server/random.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply balance(const ServiceContext &ctx, const ServiceRequest &request) {
    auto c = ctx.database.lease();
    auto member_id = session_member(*c, request.session_token, ctx.now());
    if (!member_id) return page_reply(pages::not_logged_in());
    auto member = member_by_id(*c, *member_id);
    if (!member) return page_reply(pages::not_logged_in());
    return page_reply(std::to_string(member->minutes));
}

Reply member_page(const ServiceContext &ctx, const ServiceRequest &request) {
    int64_t now = ctx.now();
    auto c = ctx.database.lease();
    auto member_id = session_member(*c, request.session_token, now);
    auto member = member_id ? member_by_id(*c, *member_id) : std::nullopt;
    if (!member) return page_reply(pages::not_logged_in());
    std::string token = random_hex(16);
    execute(*c, "DELETE FROM claim_tokens WHERE expires_at <= ?1", now);
    execute(*c, "INSERT INTO claim_tokens (token, member_id, expires_at) VALUES (?1, ?2, ?3)", token, member->id,
            now + claim_token_lifetime);
    return page_reply(pages::member_page(*member, token));
}

Reply weekly_claim(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &token = value_of(request.query, "hash");
    int64_t now = ctx.now();
    auto c = ctx.database.lease();
    auto member_id = session_member(*c, request.session_token, now);
    if (!member_id || !request.fields_ok || !is_token(token)) return page_reply("");

    WriteTransaction tx(*c);
    if (execute(*c, "DELETE FROM claim_tokens WHERE token = ?1 AND member_id = ?2 AND expires_at > ?3", token,
                *member_id, now) == 0)
        return page_reply("");
    bool first_this_week =
        execute(*c, "INSERT OR IGNORE INTO weekly_claims (member_id, week, claimed_at) VALUES (?1, ?2, ?3)",
                *member_id, calendar_week(now), now) == 1;
    if (first_this_week)
        execute(*c, "UPDATE members SET minutes = minutes + ?2 WHERE id = ?1", *member_id, weekly_minutes);
    tx.commit();
    return page_reply(first_this_week ? pages::claim_granted() : pages::claim_already());
}

}  // namespace tolvar::server
