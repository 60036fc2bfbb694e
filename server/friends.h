// A member's friends: the members who registered with the member's number as
// referrer, and the ones the operator added.
#pragma once

#include "server/request.h"

namespace tolvar::server {

// Whether the members who named this member as referrer are the member's
// friends: not for an uncredited referrer number (the one unbranded clients
// send), whose referrals from before that rule stay uncounted too.
bool credits_referrals(const ServiceContext &ctx, int64_t member_id);

// GET /p.php?class=p&action=friend
Reply friend_page(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
