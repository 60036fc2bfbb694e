// The captcha picture and the login it guards.
#pragma once

#include "server/request.h"

namespace tolvar::server {

// GET /verifycode.php: a fresh 4-digit captcha for the caller's session (a
// session is made, and its cookie set, when the caller has none).
Reply captcha_request(const ServiceContext &ctx, const ServiceRequest &request);

// POST /validate.php: MemberCode and MemberPassword (both the mobile number)
// and the session's captcha code in ValidCode. Success leads on to p.php.
Reply login(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
