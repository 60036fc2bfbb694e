// Places a read image's sections in one block and applies its relocations.
//
// Block: const, form, help, code and var data, each 16-byte aligned, then the
// 13-slot service table (8 bytes a slot). Relocations turn stored offsets into
// block offsets ("image-relative addresses"): kind 0 adds the service table's
// offset, a 32-bit slot offset s becoming slot s / 4 of the 64-bit table; kinds
// 1, 2 and 3 add the offset of the const, var and code data.
#pragma once

#include <cstdint>
#include <memory>

#include "image/image_reader.h"
#include "abi/tolvar_abi.h"

namespace tolvar::image {

struct LoadedBlock {
    std::unique_ptr<uint8_t[]> bytes;
    tolvar_program program{};
    uint32_t services_at = 0;

    uint32_t u32_at(uint32_t offset) const;
};

LoadedBlock load_block(const ReadImage &read, const tolvar_services &services);

}  // namespace tolvar::image
