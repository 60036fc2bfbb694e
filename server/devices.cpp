#include "server/devices.h"

#include <cstdio>
#include <ctime>

#include "server/random.h"
#include "server/shapes.h"

namespace tolvar::server {

std::string bind_device(Storage &storage, const Settings &settings, std::string_view presented, int64_t member_id,
                        int64_t now) {
    // A token the service never gave (or that expired) is not taken over:
    // whoever could plant one in a cookie store would know it.
    std::string token = is_token(presented) && storage.device_known(presented, now) ? std::string(presented)
                                                                                     : random_hex(16);
    storage.bind_device(token, member_id, now + device_lifetime, now, settings.devices_per_member);
    return token;
}

std::string device_cookie(std::string_view token, int64_t expires_at) {
    return std::string(device_cookie_name) + "=" + std::string(token) + "; expires=" + http_date(expires_at) +
           "; path=/; HttpOnly; SameSite=Lax";
}

std::string http_date(int64_t unix_seconds) {
    static const char *const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    time_t t = static_cast<time_t>(unix_seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[tm.tm_wday], tm.tm_mday,
                  months[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

}  // namespace tolvar::server
