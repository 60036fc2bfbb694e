// The text between the first start marker and the next end marker after it.
#pragma once

#include <string>
#include <string_view>

namespace tolvar::service {

// Empty when there is no start marker or no end marker behind it; nothing
// is trimmed. Letter case counts.
std::string text_between(std::string_view text, std::string_view start, std::string_view end);

}  // namespace tolvar::service
