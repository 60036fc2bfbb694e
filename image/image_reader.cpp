#include "image/image_reader.h"

#include <algorithm>

#include "image/byte_io.h"

namespace tolvar::image {

namespace {

constexpr uint32_t kMaxDllCommands = 4096;
constexpr const char *kChainNames[kSectionCount] = {kConstName, kFormName, kHelpName,
                                                     kCodeName,  kVarName,  kReloc1Name};
constexpr uint32_t kChainFlags[kSectionCount] = {1, 1, 1, 5, 0x13, 1};

struct Failure {
    std::string reason;
};

[[noreturn]] void fail(std::string reason) { throw Failure{std::move(reason)}; }

std::string hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%X", v);
    return buf;
}

std::vector<LibraryRecord> read_library_list(std::span<const uint8_t> bytes, uint32_t at,
                                             uint32_t &end) {
    std::vector<LibraryRecord> out;
    ByteReader r(bytes, at);
    for (;;) {
        std::string record = r.text();
        if (!r.ok()) fail("support-library list runs past the end of the image");
        if (record.empty()) break;
        std::vector<std::string> fields;
        size_t start = 0;
        for (;;) {
            size_t cr = record.find('\r', start);
            fields.push_back(record.substr(start, cr == std::string::npos ? std::string::npos : cr - start));
            if (cr == std::string::npos) break;
            start = cr + 1;
        }
        if (fields.size() != 5)
            fail("support-library record " + std::to_string(out.size()) + " has " +
                 std::to_string(fields.size()) + " fields, not 5");
        out.push_back({fields[0], fields[1], fields[2], fields[3], fields[4]});
    }
    end = static_cast<uint32_t>(r.pos());
    return out;
}

// The stored u32 at `offset` of a section, or 0 where nothing is stored.
uint32_t stored_u32(const Section &s, uint32_t offset) {
    if (uint64_t(offset) + 4 > s.data.size()) return 0;
    return load_u32(s.data.data() + offset);
}

void check_relocations(const Image &image, const CodeLayout &code) {
    for (const Section &s : image.sections) {
        for (uint32_t entry : s.relocations) {
            uint32_t offset = relocation_offset(entry);
            uint32_t kind = relocation_kind(entry);
            std::string where = "section \"" + s.name + "\" relocation at " + hex(offset);
            if (kind >= kRelocationKinds) fail(where + ": unknown kind " + std::to_string(kind));
            if (uint64_t(offset) + 4 > s.memory_size) fail(where + " lies outside the section");
            uint32_t value = stored_u32(s, offset);
            switch (static_cast<RelocationKind>(kind)) {
                case RelocationKind::service:
                    if (value % 4 || value >= kServiceStubsSize)
                        fail(where + ": " + hex(value) + " is no service slot");
                    break;
                case RelocationKind::const_data:
                    if (value >= image.sections[kConst].memory_size)
                        fail(where + ": " + hex(value) + " lies outside the const data");
                    break;
                case RelocationKind::var_data:
                    if (value >= image.sections[kVar].memory_size)
                        fail(where + ": " + hex(value) + " lies outside the var data");
                    break;
                case RelocationKind::code_data:
                    if (!code.record_at(value)) fail(where + ": " + hex(value) + " names no routine");
                    break;
            }
        }
    }
}

// A section header as stored, with its relocation entries.
struct SectionHeader {
    uint32_t at = 0;
    uint32_t header_size = 0;
    uint32_t next = 0;
    uint32_t flags = 0;
    std::string name;
    uint32_t memory_size = 0;
    uint32_t stored_size = 0;
    uint32_t data_offset = 0;
    std::vector<uint32_t> relocations;
    bool stored() const { return data_offset != kNoOffset; }
};

// Reads the header at `at` and checks that it is the chain's section `i`.
SectionHeader read_section_header(std::span<const uint8_t> bytes, uint32_t at, size_t i) {
    SectionHeader h;
    h.at = at;
    ByteReader r(bytes, at);
    h.header_size = r.u32();
    h.next = r.u32();
    h.flags = r.u32();
    auto name_bytes = r.raw(kSectionNameSize);
    h.memory_size = r.u32();
    h.stored_size = r.u32();
    h.data_offset = r.u32();
    uint32_t count = r.u32();
    uint32_t zero = r.u32();
    if (!r.ok()) fail("section header at " + hex(at) + " runs past the end of the image");
    h.name.assign(reinterpret_cast<const char *>(name_bytes.data()),
                  strnlen(reinterpret_cast<const char *>(name_bytes.data()), kSectionNameSize));
    bool padded = std::all_of(name_bytes.begin() + h.name.size(), name_bytes.end(), [](uint8_t b) { return !b; });
    if (h.name != kChainNames[i] || !padded)
        fail("section " + std::to_string(i) + " is \"" + h.name + "\", expected \"" + kChainNames[i] + "\"");
    if (h.flags != kChainFlags[i])
        fail("section \"" + h.name + "\" has flags " + hex(h.flags) + ", expected " + hex(kChainFlags[i]));
    if (zero != 0) fail("section \"" + h.name + "\" header field 0x34 is not zero");
    if (count > r.remaining() / 4 || h.header_size != kSectionHeaderSize + 4 * count)
        fail("section \"" + h.name + "\" header size does not match its relocation count");
    h.relocations.resize(count);
    for (auto &e : h.relocations) e = r.u32();
    return h;
}

// Stored data lies inside the image, directly after its header.
void check_section_data(std::span<const uint8_t> bytes, const SectionHeader &h) {
    if (!h.stored() && h.stored_size != 0) fail("section \"" + h.name + "\" stores data without an offset");
    if (!h.stored()) return;
    if (h.data_offset > bytes.size() || h.stored_size > bytes.size() - h.data_offset)
        fail("section \"" + h.name + "\" data lies outside the image");
    if (h.data_offset != h.at + uint64_t(h.header_size))
        fail("section \"" + h.name + "\" data does not follow its header");
}

// The "@reloc1" groups. The size fields hold 4 less than the groups occupy:
// the groups are walked by their counts.
void read_reloc1(std::span<const uint8_t> bytes, const SectionHeader &h, ReadImage &out) {
    ByteReader g(bytes, h.stored() ? h.data_offset : bytes.size());
    for (auto &group : out.image.reloc1_groups) {
        uint32_t n = g.u32();
        if (!g.ok() || n > g.remaining() / 4) fail("\"@reloc1\" group runs past the end of the image");
        group.resize(n);
        for (auto &o : group) o = g.u32();
    }
    out.image.reloc1_flags = h.flags;
    out.layout.reloc1_declared_size = h.stored_size;
    out.layout.reloc1_occupied_size = static_cast<uint32_t>(g.pos() - h.data_offset);
    if (!h.relocations.empty()) fail("\"@reloc1\" has relocation entries");
    uint32_t occupied = out.layout.reloc1_occupied_size;
    if (h.memory_size != h.stored_size || (h.stored_size != occupied && h.stored_size + 4 != occupied))
        fail("\"@reloc1\" size " + std::to_string(h.stored_size) + " does not fit its groups of " +
             std::to_string(occupied) + " bytes");
}

// A section is stored whole, or (the var section) not at all.
Section stored_section(std::span<const uint8_t> bytes, SectionHeader h, size_t i) {
    if (h.stored() ? h.stored_size != h.memory_size : i != kVar)
        fail("section \"" + h.name + "\" stores " + std::to_string(h.stored_size) + " of its " +
             std::to_string(h.memory_size) + " bytes");
    Section s;
    s.name = h.name;
    s.flags = h.flags;
    s.memory_size = h.memory_size;
    s.stored = h.stored();
    if (h.stored()) s.data.assign(bytes.begin() + h.data_offset, bytes.begin() + h.data_offset + h.stored_size);
    s.relocations = std::move(h.relocations);
    return s;
}

// Walks the chain of six sections, which lie one after the other.
void read_sections(std::span<const uint8_t> bytes, ReadImage &out) {
    ImageLayout &layout = out.layout;
    uint32_t at = layout.first_section;
    uint64_t expected_at = at;
    for (size_t i = 0; i < kSectionCount; ++i) {
        if (at == kNoOffset) fail("section chain ends after " + std::to_string(i) + " sections");
        if (i > 0 && at <= layout.header_offsets[i - 1]) fail("section chain loops back at " + hex(at));
        if (at != expected_at)
            fail("section header at " + hex(at) + " does not follow the previous section at " +
                 hex(static_cast<uint32_t>(expected_at)));
        SectionHeader h = read_section_header(bytes, at, i);
        check_section_data(bytes, h);
        layout.header_offsets[i] = at;
        layout.data_offsets[i] = h.data_offset;
        expected_at = uint64_t(at) + h.header_size + (h.stored() ? h.stored_size : 0);
        at = h.next;
        if (i == kReloc1) read_reloc1(bytes, h, out);
        else out.image.sections.push_back(stored_section(bytes, std::move(h), i));
    }
    if (at != kNoOffset) fail("section chain does not end after \"@reloc1\"");
}

void check_header_offsets(std::span<const uint8_t> bytes, const ImageLayout &layout) {
    for (size_t i = 0; i < 5; ++i)
        if (load_u32(bytes.data() + 0x40 + 4 * i) != layout.header_offsets[i])
            fail("header names the \"" + std::string(kChainNames[i]) + "\" section at " +
                 hex(load_u32(bytes.data() + 0x40 + 4 * i)) + ", the chain has it at " +
                 hex(layout.header_offsets[i]));
    if (load_u32(bytes.data() + 0x54) != layout.header_offsets[kConst])
        fail("header field 0x54 does not equal the const section's offset");
}

void check_dll_names(const Image &image) {
    const auto &const_data = image.sections[kConst].data;
    for (size_t i = 0; i < image.dll_commands.size(); ++i) {
        const DllEntry &e = image.dll_commands[i];
        auto lib = text_at(const_data, e.library_offset);
        auto fn = text_at(const_data, e.function_offset);
        if (!lib) fail("DLL command " + std::to_string(i) + ": library name lies outside the const data");
        if (!fn || fn->empty())
            fail("DLL command " + std::to_string(i) + ": function name lies outside the const data");
    }
}

void check_reloc1(const ReadImage &read) {
    uint32_t code_size = read.image.sections[kCode].memory_size;
    for (size_t g = 0; g < kReloc1Groups; ++g)
        for (uint32_t o : read.image.reloc1_groups[g])
            if (uint64_t(o) + 4 > code_size)
                fail("\"@reloc1\" group " + std::to_string(g + 1) + " marks " + hex(o) + " outside the code data");
}

ReadImage read_checked(std::span<const uint8_t> bytes) {
    if (bytes.size() < kHeaderFixedSize) fail("image is shorter than its header");
    if (!std::equal(kMagic.begin(), kMagic.end(), bytes.begin())) fail("bad magic: not a program image");
    ReadImage out;
    Image &image = out.image;
    for (size_t i = 0; i < 8; ++i) image.reserved[i] = load_u32(bytes.data() + 4 + 4 * i);
    out.layout.first_section = load_u32(bytes.data() + 0x24);
    image.field28 = load_u32(bytes.data() + 0x28);
    image.field2c = load_u32(bytes.data() + 0x2C);
    image.field30 = load_u32(bytes.data() + 0x30);
    image.field34 = load_u32(bytes.data() + 0x34);
    uint32_t n = load_u32(bytes.data() + 0x38);
    image.start_offset = load_u32(bytes.data() + 0x3C);
    const uint32_t fixed[][2] = {{0x28, kField28}, {0x2C, kField2C}, {0x30, kField30}, {0x34, kField34}};
    for (auto [at, expected] : fixed)
        if (load_u32(bytes.data() + at) != expected)
            fail("header field " + hex(at) + " is " + hex(load_u32(bytes.data() + at)) + ", expected " + hex(expected));
    for (size_t i = 0; i < 8; ++i)
        if (image.reserved[i] != 0) fail("header field " + hex(uint32_t(4 + 4 * i)) + " is not zero");
    if (n > kMaxDllCommands || kHeaderFixedSize + 8ull * n > bytes.size())
        fail("DLL-command table of " + std::to_string(n) + " entries runs past the end of the image");
    image.dll_commands.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        image.dll_commands[i].library_offset = load_u32(bytes.data() + kHeaderFixedSize + 4 * i);
        image.dll_commands[i].function_offset = load_u32(bytes.data() + kHeaderFixedSize + 4 * (n + i));
    }
    uint32_t list_at = kHeaderFixedSize + 8 * n;
    uint32_t list_end = 0;
    image.libraries = read_library_list(bytes, list_at, list_end);
    out.layout.library_list_size = list_end - list_at;
    if (out.layout.first_section != list_end)
        fail("first section header is at " + hex(out.layout.first_section) +
             ", not directly after the support-library list at " + hex(list_end));

    read_sections(bytes, out);
    check_header_offsets(bytes, out.layout);
    check_dll_names(image);
    std::string error;
    auto code = parse_code_data(image.sections[kCode].data, error);
    if (!code) fail(error);
    out.code = std::move(*code);
    if (!out.code.record_at(image.start_offset))
        fail("start routine offset " + hex(image.start_offset) + " names no routine record");
    check_relocations(image, out.code);
    check_reloc1(out);
    return out;
}

}  // namespace

ReadResult read_image(std::span<const uint8_t> bytes) {
    try {
        return {read_checked(bytes), {}};
    } catch (const Failure &f) {
        return {std::nullopt, f.reason};
    }
}

std::string dll_library_name(const Image &image, size_t i) {
    return text_at(image.sections[kConst].data, image.dll_commands[i].library_offset).value_or("");
}

std::string dll_function_name(const Image &image, size_t i) {
    return text_at(image.sections[kConst].data, image.dll_commands[i].function_offset).value_or("");
}

}  // namespace tolvar::image
