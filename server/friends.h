// A member's friends: the members who registered with the member's number as
// referrer, and the ones the operator added.
#pragma once

#include <vector>

#include "server/database.h"
#include "server/pages.h"
#include "server/request.h"

namespace tolvar::server {

// In order of member id.
std::vector<FriendEntry> friends_of(Connection &c, int64_t member_id);

// Whether the member has the friend with that id and number.
bool has_friend(Connection &c, int64_t member_id, int64_t friend_id, std::string_view number);

// Shows `friend_id` in the member's list; false when it was there already.
bool add_friend(Connection &c, int64_t member_id, int64_t friend_id);

// GET /p.php?class=p&action=friend
Reply friend_page(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
