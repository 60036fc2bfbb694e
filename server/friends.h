// A member's friends: the members who registered with the member's number as
// referrer, and the ones the operator added.
#pragma once

#include "server/request.h"

namespace tolvar::server {

// GET /p.php?class=p&action=friend
Reply friend_page(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
