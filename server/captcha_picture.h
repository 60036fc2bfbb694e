// The captcha picture: the code's digits drawn on a 58 x 28 PNG, the size of
// the client's picture box, with a little noise a person reads past.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::server {

inline constexpr int captcha_width = 58, captcha_height = 28;

// PNG bytes showing `code` (decimal digits); empty if drawing failed.
std::string captcha_png(std::string_view code);

}  // namespace tolvar::server
