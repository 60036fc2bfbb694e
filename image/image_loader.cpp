#include "image/image_loader.h"

#include <cstring>

#include "image/byte_io.h"

namespace tolvar::image {

namespace {
constexpr uint32_t align16(uint64_t v) { return static_cast<uint32_t>((v + 15) & ~uint64_t(15)); }
}  // namespace

uint32_t LoadedBlock::u32_at(uint32_t offset) const { return load_u32(bytes.get() + offset); }

LoadedBlock load_block(const ReadImage &read, const tolvar_services &services) {
    const Image &image = read.image;
    uint32_t at[5];
    uint64_t size = 0;
    for (size_t i = 0; i < 5; ++i) {
        at[i] = align16(size);
        size = uint64_t(at[i]) + image.sections[i].memory_size;
    }
    LoadedBlock block;
    block.services_at = align16(size);
    size = block.services_at + sizeof(tolvar_services);
    block.bytes.reset(new uint8_t[size]());
    for (size_t i = 0; i < 5; ++i)
        if (!image.sections[i].data.empty())
            std::memcpy(block.bytes.get() + at[i], image.sections[i].data.data(), image.sections[i].data.size());
    std::memcpy(block.bytes.get() + block.services_at, &services, sizeof services);

    const uint32_t base_of_kind[kRelocationKinds] = {block.services_at, at[kConst], at[kVar], at[kCode]};
    for (size_t i = 0; i < 5; ++i) {
        for (uint32_t entry : image.sections[i].relocations) {
            uint8_t *place = block.bytes.get() + at[i] + relocation_offset(entry);
            uint32_t kind = relocation_kind(entry);
            uint32_t value = load_u32(place);
            if (kind == static_cast<uint32_t>(RelocationKind::service)) value *= sizeof(void *) / 4;
            store_u32(place, value + base_of_kind[kind]);
        }
    }
    block.program = tolvar_program{TOLVAR_ABI_VERSION, block.bytes.get(), static_cast<uint32_t>(size), at[kConst],
                                   at[kForm],          at[kHelp],         at[kCode],                    at[kVar]};
    return block;
}

}  // namespace tolvar::image
