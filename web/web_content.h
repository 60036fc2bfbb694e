// The web routines' part of the image.
#pragma once

#include <string_view>

namespace tolvar::web {

// The window-enumeration callback, handed to EnumWindows by its address.
inline constexpr std::string_view kEnumWindowCallback = "on_enum_window";

}  // namespace tolvar::web
