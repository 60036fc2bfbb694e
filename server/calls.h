// Free calls, and the address-echo page the client reads its public address
// from before it asks for one.
#pragma once

#include "server/request.h"

namespace tolvar::server {

// Minutes charged when a call is placed; a voice gateway would charge the
// call's real length once it ends.
inline constexpr int64_t minutes_per_call = 1;

// action=sendfreecall&tel=NUMBER&url=HOST&ip=ADDRESS. The client judges the
// reply by its length alone: 101 to 159 bytes when the call is placed, fewer
// otherwise.
Reply free_call(const ServiceContext &ctx, const ServiceRequest &request);

// GET /ip.php: <h2>ADDRESS</h2>.
Reply address_echo(const ServiceContext &ctx, const ServiceRequest &request);

}  // namespace tolvar::server
