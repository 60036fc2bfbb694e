// Minutes: the balance, the member page with its weekly-claim link, and the
// weekly claim itself.
#pragma once

#include "server/request.h"

namespace tolvar::server {

inline constexpr int64_t weekly_minutes = 15;
inline constexpr int64_t claim_token_lifetime = 10 * 60;

// action=balance&url=HOST&ip=ADDRESS: the minutes left as decimal digits.
Reply balance(const ServiceContext &ctx, const ServiceRequest &request);

// GET /p.php: the member page; its claim link holds a fresh single-use token.
Reply member_page(const ServiceContext &ctx, const ServiceRequest &request);

// GET /p.php?class=giving&hash=TOKEN: 15 minutes once per calendar week. A
// token that is not valid gets an empty reply, which the client reports as a
// failed claim.
Reply weekly_claim(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
