#include "image/image_writer.h"

#include "image/byte_io.h"

namespace tolvar::image {

std::string library_list_bytes(const std::vector<LibraryRecord> &libraries) {
    std::string out;
    for (const auto &lib : libraries) {
        out += lib.name + '\r' + lib.identifier + '\r' + lib.major + '\r' + lib.minor + '\r' +
               lib.description;
        out += '\0';
    }
    out += '\0';  // the closing empty record
    return out;
}

std::vector<uint8_t> reloc1_bytes(const std::array<std::vector<uint32_t>, kReloc1Groups> &groups) {
    ByteWriter w;
    for (const auto &group : groups) {
        w.u32(static_cast<uint32_t>(group.size()));
        for (uint32_t offset : group) w.u32(offset);
    }
    return std::move(w.bytes());
}

namespace {

void write_section_header(ByteWriter &w, std::string_view name, uint32_t flags, uint32_t memory_size,
                          uint32_t stored_size, bool stored, const std::vector<uint32_t> &relocations,
                          size_t &next_field) {
    size_t header_at = w.size();
    uint32_t header_size = kSectionHeaderSize + 4 * static_cast<uint32_t>(relocations.size());
    w.u32(header_size);
    next_field = w.size();
    w.u32(kNoOffset);  // patched once the next section's place is known
    w.u32(flags);
    std::string padded(name.substr(0, kSectionNameSize - 1));
    padded.resize(kSectionNameSize, '\0');
    w.raw(padded);
    w.u32(memory_size);
    w.u32(stored ? stored_size : 0);
    w.u32(stored ? static_cast<uint32_t>(header_at + header_size) : kNoOffset);
    w.u32(static_cast<uint32_t>(relocations.size()));
    w.u32(0);
    for (uint32_t entry : relocations) w.u32(entry);
}

}  // namespace

std::vector<uint8_t> write_image(const Image &image) {
    ByteWriter w;
    w.raw(std::span<const uint8_t>(kMagic));
    for (uint32_t v : image.reserved) w.u32(v);
    w.u32(0);  // 0x24 first section, patched below
    w.u32(image.field28);
    w.u32(image.field2c);
    w.u32(image.field30);
    w.u32(image.field34);
    w.u32(static_cast<uint32_t>(image.dll_commands.size()));
    w.u32(image.start_offset);
    size_t header_offsets_at = w.size();
    w.zeros(4 * 6);  // 0x40..0x54, patched below
    for (const auto &dll : image.dll_commands) w.u32(dll.library_offset);
    for (const auto &dll : image.dll_commands) w.u32(dll.function_offset);
    w.raw(library_list_bytes(image.libraries));

    std::vector<uint32_t> headers;
    size_t previous_next = 0;
    for (const auto &section : image.sections) {
        uint32_t here = static_cast<uint32_t>(w.size());
        if (previous_next) w.put_u32(previous_next, here);
        headers.push_back(here);
        write_section_header(w, section.name, section.flags, section.memory_size,
                             static_cast<uint32_t>(section.data.size()), section.stored,
                             section.relocations, previous_next);
        if (section.stored) w.raw(section.data);
    }

    // "@reloc1": the four counted groups; its size fields hold 4 less than they occupy.
    std::vector<uint8_t> groups = reloc1_bytes(image.reloc1_groups);
    uint32_t declared = static_cast<uint32_t>(groups.size()) - 4;
    uint32_t here = static_cast<uint32_t>(w.size());
    if (previous_next) w.put_u32(previous_next, here);
    headers.push_back(here);
    size_t last_next;
    write_section_header(w, kReloc1Name, image.reloc1_flags, declared, declared, true, {}, last_next);
    w.raw(groups);

    w.put_u32(0x24, headers.front());
    for (size_t i = 0; i < 5 && i < headers.size(); ++i) w.put_u32(header_offsets_at + 4 * i, headers[i]);
    w.put_u32(header_offsets_at + 20, headers.front());
    return std::move(w.bytes());
}

}  // namespace tolvar::image
