// Text from outside (paths, messages, numbers) made safe to show on one line
// of a log or a listing: no byte of it can end the line, move a terminal's
// cursor or start a terminal escape.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::server {

// UTF-8 text as it is, except: a backslash doubled; line feed, carriage
// return and tab as \n, \r, \t; other control characters (C0, DEL) and every
// byte that is not part of valid UTF-8 as \xNN; C1 controls, line and
// paragraph separators and bidirectional overrides as \u{NNNN}.
std::string printable(std::string_view text);

}  // namespace tolvar::server
