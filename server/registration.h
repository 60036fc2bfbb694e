// Registration by voice code: the request that rings the number with a code,
// and the confirmation that makes the number a member.
#pragma once

#include "server/request.h"

namespace tolvar::server {

inline constexpr int64_t voice_code_lifetime = 10 * 60;
inline constexpr int64_t voice_code_attempts = 5;  // wrong codes that void a code
// The windows of the limits on phones rung (the counts are settings): per
// number within ten minutes, per client network within an hour.
inline constexpr int64_t voice_number_window = 10 * 60;
inline constexpr int64_t voice_network_window = 60 * 60;

// action=taste&tel=REFERRER&MemberMobile=NUMBER
Reply voice_code_request(const ServiceContext &ctx, const ServiceRequest &request);

// class=check&action=one&tel=REFERRER&MemberMobile=NUMBER&VerifyCode=CODE:
// the reply is exactly "6" when the code is right.
Reply registration_confirm(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
