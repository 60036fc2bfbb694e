// The regular-expression object's part of the image: its ten operations, and
// the operation table in the const data that turns into their addresses.
#pragma once

#include <cstdint>

#include "runtime/image_content.h"

namespace tolvar::regex {

inline constexpr uint32_t kOperationCount = 10;
extern const runtime::Constant kOperationTable;

}  // namespace tolvar::regex
