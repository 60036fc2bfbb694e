// Values the service client takes from a reply and puts into a request: of
// the shape they must have, or nothing.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::service {

// The Internet address in `text` (an IPv4 address in dotted digits or an IPv6
// address), blanks and line breaks around it removed; empty when the text is
// anything else, so a page outside the service cannot put a field of its own
// into the request ("1.2.3.4&tel=..." is no address).
std::string internet_address(std::string_view text);

}  // namespace tolvar::service
