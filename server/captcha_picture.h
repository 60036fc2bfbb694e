// The captcha picture: the code's digits on a 58 x 28 PNG, the size of the
// client's picture box. Each digit is one of its font's shapes, bent, sheared,
// turned and placed at random, in a colour of the same palette as the lines
// crossing it and the noise around it, so that a person reads it and a
// template matcher does not.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::server {

inline constexpr int captcha_width = 58, captcha_height = 28;

// PNG bytes showing `code` (decimal digits); empty if drawing failed.
std::string captcha_png(std::string_view code);

}  // namespace tolvar::server
