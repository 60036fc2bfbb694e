// The main window's layout table and event bindings written as the image's
// stored form.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "image/image_format.h"

namespace tolvar::program {

// The code-data offset of the routine record with this name.
using RecordOffset = std::function<uint32_t(std::string_view routine)>;

image::Section form_section(const std::vector<uint8_t> &icon, const RecordOffset &record);

}  // namespace tolvar::program
