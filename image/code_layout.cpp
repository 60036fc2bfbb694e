#include "image/code_layout.h"

#include <algorithm>

#include "image/byte_io.h"

namespace tolvar::image {

const RoutineRecord *CodeLayout::record_at(uint32_t offset) const {
    auto it = std::lower_bound(records.begin(), records.end(), offset,
                               [](const RoutineRecord &r, uint32_t o) { return r.offset < o; });
    return it != records.end() && it->offset == offset ? &*it : nullptr;
}

bool valid_routine_name(std::string_view name) {
    if (name.empty() || name.size() >= kRoutineRecordSize) return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

namespace {

bool read_counted(ByteReader &r, std::vector<uint32_t> &out, uint32_t &at, const char *what,
                  std::string &error) {
    uint32_t count = r.u32();
    if (!r.ok() || count > r.remaining() / 4) {
        error = std::string("code data: the ") + what + " count runs past the data";
        return false;
    }
    at = static_cast<uint32_t>(r.pos());
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) out.push_back(r.u32());
    return true;
}

}  // namespace

std::optional<CodeLayout> parse_code_data(std::span<const uint8_t> data, std::string &error) {
    CodeLayout layout;
    ByteReader r(data);
    r.skip(kServiceStubsSize);
    if (!r.ok()) {
        error = "code data: shorter than the service stubs";
        return std::nullopt;
    }
    for (uint32_t i = 0; i < kServiceStubCount; ++i) {
        if (load_u32(data.data() + 4 * i) != 4 * i) {
            error = "code data: service stub " + std::to_string(i) + " does not hold its slot offset";
            return std::nullopt;
        }
    }
    if (!read_counted(r, layout.const_refs, layout.const_refs_at, "const reference", error) ||
        !read_counted(r, layout.routine_refs, layout.routine_refs_at, "routine reference", error) ||
        !read_counted(r, layout.marked, layout.marked_at, "marked constant", error))
        return std::nullopt;
    uint32_t records = r.u32();
    if (!r.ok() || records > r.remaining() / kRoutineRecordSize) {
        error = "code data: the routine record count runs past the data";
        return std::nullopt;
    }
    for (uint32_t i = 0; i < records; ++i) {
        uint32_t at = static_cast<uint32_t>(r.pos());
        auto bytes = r.raw(kRoutineRecordSize);
        std::string name(reinterpret_cast<const char *>(bytes.data()),
                         strnlen(reinterpret_cast<const char *>(bytes.data()), kRoutineRecordSize));
        bool padded = std::all_of(bytes.begin() + name.size(), bytes.end(), [](uint8_t b) { return b == 0; });
        if (!valid_routine_name(name) || !padded) {
            error = "code data: routine record " + std::to_string(i) + " holds no valid name";
            return std::nullopt;
        }
        layout.records.push_back({at, std::move(name)});
    }
    if (r.remaining() != 0) {
        error = "code data: " + std::to_string(r.remaining()) + " bytes after the last routine record";
        return std::nullopt;
    }
    return layout;
}

}  // namespace tolvar::image
