// The program image embedded in a `tolvar` executable: the bytes of its
// exported symbol `tolvar_program_image`.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace tolvar::image {

// The embedded image, or nothing when the file is no 64-bit ELF executable
// exporting that symbol (every header and offset is bounds-checked).
std::optional<std::vector<uint8_t>> embedded_image(const std::vector<uint8_t> &file);

}  // namespace tolvar::image
