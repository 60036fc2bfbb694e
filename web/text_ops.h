// Text operations on GBK byte strings as the program's routines use them:
// positions count bytes, letter case is that of ASCII letters only.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::web {

std::string ascii_lower(std::string_view text);
// The first occurrence of `what` at or after byte `from` (0-based), letter case
// ignored; npos when there is none.
size_t find_ignoring_case(std::string_view text, std::string_view what, size_t from = 0);
std::string replace_all(std::string text, std::string_view what, std::string_view with);
// Blanks (space, tab, CR, LF) removed at both ends.
std::string trim_blanks(std::string_view text);

}  // namespace tolvar::web
