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

// A number of one of the `shapes` (CallShape bits): an 11-digit mobile
// number, 7 to 12 digits starting with 0 but not 00, or any 3 to 20 digits.
bool is_callable_number(std::string_view text, unsigned shapes);

// A session cookie or claim token: 32 lower-case hex digits.
bool is_token(std::string_view text);

// What the client reports as its public address: up to 64 printable ASCII
// bytes, empty allowed (the client sends nothing when its lookup failed).
bool is_address_text(std::string_view text);

// 1 to 9 digits as a number (the client sends a friend id without its
// leading zeros).
std::optional<int64_t> small_number(std::string_view text);

}  // namespace tolvar::server
