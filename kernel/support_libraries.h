// The support libraries are built into the kernel as modules registered under
// their name and identifier. "Loading" one means finding it here.
#pragma once

#include <string>
#include <vector>

#include "image/image_format.h"

namespace tolvar::kernel {

struct SupportLibrary {
    const char *name;
    const char *identifier;  // 32 hexadecimal digits
};

const std::vector<SupportLibrary> &registered_libraries();

// Finds every listed library; on failure `error` names the missing one.
bool find_support_libraries(const std::vector<image::LibraryRecord> &listed, std::string &error);

}  // namespace tolvar::kernel
