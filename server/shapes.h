// The shapes a field must have before the service acts on it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvar::server {

// A mainland mobile number: 11 digits, the first one '1'.
bool is_mobile_number(std::string_view text);

// Only the digits 0-9, between `min` and `max` of them.
bool is_digits(std::string_view text, size_t min, size_t max);

// A number that can be dialled: 3 to 20 digits.
bool is_dialable_number(std::string_view text);

// A session cookie or claim token: 32 lower-case hex digits.
bool is_token(std::string_view text);

// What the client reports as its public address: up to 64 printable ASCII
// bytes, empty allowed (the client sends nothing when its lookup failed).
bool is_address_text(std::string_view text);

// 1 to 9 digits as a number (the client sends a friend id without its
// leading zeros).
std::optional<int64_t> small_number(std::string_view text);

}  // namespace tolvar::server
