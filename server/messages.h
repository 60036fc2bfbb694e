// Short messages to friends.
#pragma once

#include "server/request.h"

namespace tolvar::server {

inline constexpr size_t longest_message = 1000;  // bytes
// The quota of messages per member counts this many seconds back.
inline constexpr int64_t message_quota_window = 24 * 60 * 60;

// POST /p.php?class= with action=sendsms&key_id=FRIEND&url=HOST&tel=NUMBER&msg=TEXT:
// stored as the GBK bytes that arrived, for the friend with that id and number.
Reply send_message(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
