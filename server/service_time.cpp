#include "server/service_time.h"

#include <chrono>
#include <ctime>

namespace tolvar::server {

Clock system_clock() {
    return [] {
        return static_cast<int64_t>(
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
                .count());
    };
}

static int64_t floor_div(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

int64_t calendar_week(int64_t unix_seconds) {
    time_t t = static_cast<time_t>(unix_seconds);
    tm local{};
    localtime_r(&t, &local);
    int64_t local_days = floor_div(unix_seconds + local.tm_gmtoff, 86400);
    // Day 0 (1970-01-01) was a Thursday: three days on, weeks start on Mondays.
    return floor_div(local_days + 3, 7);
}

std::string local_time_text(int64_t unix_seconds) {
    time_t t = static_cast<time_t>(unix_seconds);
    tm local{};
    localtime_r(&t, &local);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace tolvar::server
