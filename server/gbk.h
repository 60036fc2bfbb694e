// GBK, the client's code page, through ICU's Windows table (code page 936).
#pragma once

#include <string>
#include <string_view>

namespace tolvar::server {

// UTF-8 text as GBK bytes; a character GBK lacks becomes '?'.
std::string gbk_from_utf8(std::string_view utf8);

// GBK bytes as UTF-8 text; a byte sequence that is not GBK becomes U+FFFD.
std::string utf8_from_gbk(std::string_view gbk);

}  // namespace tolvar::server
