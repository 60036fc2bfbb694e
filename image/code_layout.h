// The code section's data. Native code cannot travel in a portable block, so the
// code data is a table the kernel and the program both read:
//
//   +0x00  13 u32 service stubs: the slot offsets 0x00..0x30, each with a
//          kind-0 relocation (after loading: where that slot lies in the block)
//   +0x34  u32 C, then C u32 const references (kind 1): constants the routines use
//          u32 K, then K u32 routine references (kind 3): routines passed by address
//          u32 M, then M u32 marked constants: ids and indexes named by "@reloc1"
//          u32 N, then N routine records of 64 bytes: the ASCII name under which
//          the executable exports that routine, zero-padded
//
// The data ends with the last record. An "offset into the code data" that names a
// routine (start routine, event binding, operation table) is a record's offset.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "abi/tolvar_abi.h"

namespace tolvar::image {

inline constexpr uint32_t kServiceStubCount = TOLVAR_SERVICE_SLOTS;
inline constexpr uint32_t kServiceStubsSize = TOLVAR_CODE_STUBS_SIZE;
inline constexpr uint32_t kRoutineRecordSize = 64;

struct RoutineRecord {
    uint32_t offset = 0;  // in the code data
    std::string name;
};

struct CodeLayout {
    uint32_t const_refs_at = 0;    // offset of the first const reference
    uint32_t routine_refs_at = 0;  // offset of the first routine reference
    uint32_t marked_at = 0;        // offset of the first marked constant
    std::vector<uint32_t> const_refs;
    std::vector<uint32_t> routine_refs;
    std::vector<uint32_t> marked;
    std::vector<RoutineRecord> records;

    const RoutineRecord *record_at(uint32_t offset) const;
};

// Reads the code data as stored (before relocation). Fails with a reason on any
// count that runs past the data, a record without a valid name, or bytes after
// the last record.
std::optional<CodeLayout> parse_code_data(std::span<const uint8_t> data, std::string &error);

// A routine name is 1 to 63 characters of [A-Za-z0-9_].
bool valid_routine_name(std::string_view name);

}  // namespace tolvar::image
