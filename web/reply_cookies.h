// The cookies of a reply's header block, as the web access routine stores
// them: every line that begins with "Set-Cookie: " (letter case ignored) and
// holds a "=".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvar::web {

struct ReplyCookie {
    std::string name;  // the text between the marker and the first "="
    std::string data;  // everything after that "=", attributes included
};

// The block's lines end at CR LF. A line that holds the marker anywhere but at
// its start is no cookie line; nor is a marker line without a "=".
std::vector<ReplyCookie> reply_cookies(std::string_view block);

}  // namespace tolvar::web
