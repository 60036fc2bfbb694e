#include "server/minutes.h"

#include "server/pages.h"
#include "server/random.h"
#include "server/sessions.h"
#include "server/shapes.h"

namespace tolvar::server {

Reply balance(const ServiceContext &ctx, const ServiceRequest &request) {
    auto member_id = session_member(ctx.storage, request.session_token, ctx.now());
    if (!member_id) return page_reply(pages::not_logged_in());
    auto member = ctx.storage.member_by_id(*member_id);
    if (!member) return page_reply(pages::not_logged_in());
    return page_reply(std::to_string(member->minutes));
}

Reply member_page(const ServiceContext &ctx, const ServiceRequest &request) {
    int64_t now = ctx.now();
    auto member_id = session_member(ctx.storage, request.session_token, now);
    auto member = member_id ? ctx.storage.member_by_id(*member_id) : std::nullopt;
    if (!member) return page_reply(pages::not_logged_in());
    std::string token = random_hex(16);
    ctx.storage.issue_claim_token(token, member->id, now + claim_token_lifetime, now);
    return page_reply(pages::member_page(*member, token));
}

Reply weekly_claim(const ServiceContext &ctx, const ServiceRequest &request) {
    const std::string &token = value_of(request.query, "hash");
    int64_t now = ctx.now();
    auto member_id = session_member(ctx.storage, request.session_token, now);
    if (!member_id || !request.fields_ok || !is_token(token)) return page_reply("");
    switch (ctx.storage.claim_weekly_minutes(token, *member_id, calendar_week(now), weekly_minutes, now)) {
    case ClaimOutcome::granted: return page_reply(pages::claim_granted());
    case ClaimOutcome::already_claimed: return page_reply(pages::claim_already());
    case ClaimOutcome::not_valid: break;
    }
    return page_reply("");
}

}  // namespace tolvar::server
