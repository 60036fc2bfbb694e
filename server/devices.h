// Devices: a computer that confirmed a member's number with a voice code
// keeps a random 128-bit cookie bound to that member for a year; a login
// needs it. Knowing the number (the client's password) is not enough.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "server/settings.h"
#include "server/storage/storage.h"

namespace tolvar::server {

inline constexpr const char *device_cookie_name = "device";
inline constexpr int64_t device_lifetime = 365 * 24 * 60 * 60;

// Binds the computer that sent `presented` (its device cookie, or empty) to
// the member for a year and returns the token its cookie carries: the one it
// has when the service knows it (so one computer serves several members),
// else a new one.
std::string bind_device(Storage &storage, const Settings &settings, std::string_view presented, int64_t member_id,
                        int64_t now);

// The "Set-Cookie" value for a device token, kept by the client until `expires_at`.
std::string device_cookie(std::string_view token, int64_t expires_at);

// "Wdy, DD Mon YYYY HH:MM:SS GMT", as a cookie's expiry is written.
std::string http_date(int64_t unix_seconds);

}  // namespace tolvar::server
