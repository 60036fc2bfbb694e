// The program image: one block holding constants, the window definition, the
// routine table, the DLL-command table and the support-library list.
//
// All integers are u32 little-endian, offsets count from the image's first byte.
// Layout: header (0x58 bytes), n library-name offsets, n function-name offsets,
// the support-library list, then the section chain const, form, help, code,
// var, "@reloc1". Each section header is 56 bytes followed by its relocation
// entries ((offset << 3) | kind); stored data follows directly.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tolvar::image {

inline constexpr std::array<uint8_t, 4> kMagic{0x57, 0x4A, 0x00, 0x00};
inline constexpr uint32_t kHeaderFixedSize = 0x58;
inline constexpr uint32_t kSectionHeaderSize = 56;
inline constexpr uint32_t kNoOffset = 0xFFFFFFFFu;
inline constexpr uint32_t kSectionNameSize = 24;
inline constexpr size_t kSectionCount = 6;  // const form help code var @reloc1
inline constexpr size_t kReloc1Groups = 4;

// Values of the header fields whose meaning is not settled; writers reproduce them.
inline constexpr uint32_t kField28 = 1;
inline constexpr uint32_t kField2C = 3;
inline constexpr uint32_t kField30 = 0;
inline constexpr uint32_t kField34 = 0x0001338F;

enum class RelocationKind : uint32_t {
    service = 0,  // an offset into the runtime service table
    const_data = 1,
    var_data = 2,
    code_data = 3,
};
inline constexpr uint32_t kRelocationKinds = 4;

inline constexpr uint32_t relocation_entry(uint32_t offset, RelocationKind kind) {
    return (offset << 3) | static_cast<uint32_t>(kind);
}
inline constexpr uint32_t relocation_offset(uint32_t entry) { return entry >> 3; }
inline constexpr uint32_t relocation_kind(uint32_t entry) { return entry & 7u; }

// Section names in chain order, and the section each relocation kind points into.
inline constexpr const char *kConstName = "const";
inline constexpr const char *kFormName = "form";
inline constexpr const char *kHelpName = "help";
inline constexpr const char *kCodeName = "code";
inline constexpr const char *kVarName = "var";
inline constexpr const char *kReloc1Name = "@reloc1";
enum SectionIndex : size_t { kConst = 0, kForm = 1, kHelp = 2, kCode = 3, kVar = 4, kReloc1 = 5 };

struct DllEntry {
    uint32_t library_offset = 0;  // 0: no library named
    uint32_t function_offset = 0;
};

// One record of the support-library list: five texts joined by CR.
struct LibraryRecord {
    std::string name;
    std::string identifier;
    std::string major;
    std::string minor;
    std::string description;  // GBK
};

struct Section {
    std::string name;
    uint32_t flags = 0;
    uint32_t memory_size = 0;
    bool stored = true;          // false: nothing stored, data is empty
    std::vector<uint8_t> data;   // stored bytes
    std::vector<uint32_t> relocations;
};

// The image as plain data. `sections` holds const, form, help, code and var in
// chain order; the "@reloc1" section is made from `reloc1_groups` on writing.
struct Image {
    std::array<uint32_t, 8> reserved{};
    uint32_t field28 = kField28;
    uint32_t field2c = kField2C;
    uint32_t field30 = kField30;
    uint32_t field34 = kField34;
    uint32_t start_offset = 0;  // inside the code data
    std::vector<DllEntry> dll_commands;
    std::vector<LibraryRecord> libraries;
    std::vector<Section> sections;
    uint32_t reloc1_flags = 1;
    std::array<std::vector<uint32_t>, kReloc1Groups> reloc1_groups;
};

// Where things were found in a read image, for the dump.
struct ImageLayout {
    uint32_t first_section = 0;
    uint32_t library_list_size = 0;
    std::array<uint32_t, kSectionCount> header_offsets{};
    std::array<uint32_t, kSectionCount> data_offsets{};
    uint32_t reloc1_declared_size = 0;
    uint32_t reloc1_occupied_size = 0;
};

}  // namespace tolvar::image
