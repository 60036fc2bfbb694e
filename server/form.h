// Form fields as the client sends them: name=value pairs joined by '&', the
// values raw GBK bytes in which only %XX escapes are decoded ('+' stays '+':
// the client writes a typed plus as %2B and never means a blank by it).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolvar::server {

using Fields = std::vector<std::pair<std::string, std::string>>;

// Splits a form body or a query; empty when a '%' is not followed by two hex
// digits. A piece without '=' is a name with an empty value.
std::optional<Fields> parse_fields(std::string_view text);

// Text with its %XX escapes decoded; empty when a '%' is not followed by two
// hex digits.
std::optional<std::string> percent_decoded(std::string_view text);

// The first field of that name, or nullptr.
const std::string *field(const Fields &fields, std::string_view name);

// The value of cookie `name` in a Cookie header ("a=1; b=2"), or empty text.
std::string cookie_value(std::string_view header, std::string_view name);

}  // namespace tolvar::server
