// Texts as the service routines take them from the kernel and from replies.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/owned.h"

namespace tolvar::service {

// The heap text as a string; the heap text is released.
std::string take_text(runtime::Text text);
// The heap byte set's bytes as a text: up to its first zero byte. The byte
// set is released.
std::string take_bytes_as_text(runtime::ByteSet byte_set);
// Bytes as a text: up to the first zero byte.
std::string bytes_as_text(const std::vector<uint8_t> &bytes);
// The whole number at the start of `text` (blanks before it and a sign
// allowed, anything after it ignored); 0 when there is none or it does not
// fit in 32 bits.
int32_t text_to_integer(std::string_view text);

}  // namespace tolvar::service
