// Time as the service sees it: seconds since the epoch from a clock that tests
// can replace, and the calendar week the weekly minutes are counted in.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tolvar::server {

using Clock = std::function<int64_t()>;

Clock system_clock();

// Weeks since the Monday 1970-01-05, in the service machine's local time: two
// moments share a number when they fall in the same Monday-to-Sunday week.
int64_t calendar_week(int64_t unix_seconds);

// "YYYY-MM-DD HH:MM:SS" in local time, for logs and listings.
std::string local_time_text(int64_t unix_seconds);

}  // namespace tolvar::server
