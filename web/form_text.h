// Values put into a form text (field=value&field=value...).
#pragma once

#include <string>
#include <string_view>

namespace tolvar::web {

// A value that came from the user (a typed box, the settings file's number),
// made safe for a form text: the bytes '%', '&', '+' and '=' become %25, %26,
// %2B and %3D, so "A&B" arrives whole; every other byte, GBK ones included,
// stays as it is.
std::string form_value(std::string_view user_text);

}  // namespace tolvar::web
