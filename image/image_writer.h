// Writes a program image byte-exact to the format of image_format.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "image/image_format.h"

namespace tolvar::image {

std::vector<uint8_t> write_image(const Image &image);

// The support-library list as stored: records of five CR-joined texts, each
// zero-ended, and a closing empty record.
std::string library_list_bytes(const std::vector<LibraryRecord> &libraries);

// The "@reloc1" groups as stored: per group a count and that many offsets.
std::vector<uint8_t> reloc1_bytes(const std::array<std::vector<uint32_t>, kReloc1Groups> &groups);

}  // namespace tolvar::image
