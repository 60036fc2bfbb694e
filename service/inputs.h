// What the user gave: the contents of the window's boxes and the referrer
// number, as plain texts.
#pragma once

#include <cstdint>
#include <string>

namespace tolvar::service {

std::string box_text(uint32_t control);
// The box's text with the blanks at both ends removed.
std::string trimmed_box_text(uint32_t control);
// The referrer number set at start-up; empty before it is set.
std::string referrer_number();

}  // namespace tolvar::service
