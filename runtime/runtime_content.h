// The runtime's part of the image: the start and clean-up routines, the two
// constants every part may read, and the support libraries the image lists.
#pragma once

#include <string_view>
#include <vector>

#include "runtime/image_content.h"

namespace tolvar::runtime {

inline constexpr std::string_view kStartRoutine = "tolvar_start";

extern const Constant kEmptyText;   // the empty text, at const offset 0
extern const Constant kEmptyArray;  // copied wherever a fresh empty array is needed

// One record of the image's support-library list.
struct SupportLibrary {
    const char *name;
    const char *identifier;  // 32 hexadecimal digits, case as stored
    const char *major;
    const char *minor;
    const char *description;  // GBK
};
const std::vector<SupportLibrary> &declared_libraries();

}  // namespace tolvar::runtime
