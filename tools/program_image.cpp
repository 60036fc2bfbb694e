#include "tools/program_image.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "abi/tolvar_abi.h"
#include "image/byte_io.h"
#include "image/code_layout.h"
#include "runtime/dll_commands.h"
#include "runtime/image_content.h"
#include "runtime/runtime_content.h"
#include "tools/stored_form.h"

namespace tolvar::program {

using namespace tolvar::image;

namespace {

constexpr uint32_t kConstFlags = 1, kHelpFlags = 1, kCodeFlags = 5, kVarFlags = 0x13;
constexpr uint32_t kHelpSize = 52;
constexpr uint32_t kVarSize = 8;
// Support-library indexes the code selects for slot 0x08 calls.
constexpr uint32_t kLibraryEapi = 4, kLibraryImgConverter = 2, kLibraryInternet = 5;

using MarkedGroups = std::array<std::vector<uint32_t>, kReloc1Groups>;

// Constants the code marks for renumbering, by "@reloc1" group: window ids,
// DLL-command indexes, support-library indexes, library type ids.
MarkedGroups marked_constants() {
    MarkedGroups groups;
    groups[0] = {TOLVAR_MAIN_WINDOW, TOLVAR_WINDOW_OBJECT};
    for (uint32_t i = 0; i < std::size(runtime::kDllCommands); ++i) groups[1].push_back(i);
    groups[2] = {kLibraryEapi, kLibraryImgConverter, kLibraryInternet};
    groups[3] = {TOLVAR_TYPE_ID_EDIT,   TOLVAR_TYPE_ID_REGEX,      TOLVAR_TYPE_ID_LIST,     TOLVAR_TYPE_ID_REGEX_MATCH,
                 TOLVAR_TYPE_ID_WINDOW, TOLVAR_TYPE_ID_MENU_ITEM, TOLVAR_TYPE_ID_HYPERLINK};
    return groups;
}

uint32_t total_size(const MarkedGroups &groups) {
    uint32_t n = 0;
    for (const auto &g : groups) n += static_cast<uint32_t>(g.size());
    return n;
}

// Const data with one copy of each text.
class ConstData {
public:
    ConstData() {
        w_.text("");  // the empty text at offset 0
        texts_[""] = 0;
        w_.align(4);
        empty_array_ = static_cast<uint32_t>(w_.size());
        w_.u32(1);  // one dimension
        w_.u32(0);  // of no element
    }
    uint32_t text(const std::string &s) {
        auto [it, fresh] = texts_.try_emplace(s, static_cast<uint32_t>(w_.size()));
        if (fresh) w_.text(s);
        return it->second;
    }
    // A table of routine record offsets, each fixed up by a kind-3 relocation.
    uint32_t routine_table(const std::vector<uint32_t> &records) {
        w_.align(4);
        uint32_t at = static_cast<uint32_t>(w_.size());
        for (uint32_t r : records) {
            relocations_.push_back(relocation_entry(static_cast<uint32_t>(w_.size()), RelocationKind::code_data));
            w_.u32(r);
        }
        return at;
    }
    // A byte set, 4-aligned as the kernel's blocks are: u32 1, u32 length, the bytes.
    uint32_t byte_set(std::string_view bytes) {
        w_.align(4);
        uint32_t at = static_cast<uint32_t>(w_.size());
        w_.u32(1);
        w_.u32(static_cast<uint32_t>(bytes.size()));
        w_.raw(bytes);
        return at;
    }
    uint32_t empty_array() const { return empty_array_; }
    Section section() {
        return Section{kConstName, kConstFlags, static_cast<uint32_t>(w_.size()), true, std::move(w_.bytes()),
                       std::move(relocations_)};
    }

private:
    ByteWriter w_;
    std::map<std::string, uint32_t> texts_;
    std::vector<uint32_t> relocations_;
    uint32_t empty_array_ = 0;
};

// The program's declarations, assembled in image order.
struct Declarations {
    std::vector<std::string_view> routines = runtime::image_routines();
    std::vector<std::string_view> passed_by_address = runtime::image_routines_passed_by_address();
    std::vector<const runtime::Constant *> constants = runtime::image_constants();
};

// Where the routine records start once the code data's tables before them are laid out.
uint32_t records_offset(const Declarations &d, uint32_t marked_count) {
    uint32_t size = kServiceStubsSize;
    size += 4 + 4 * static_cast<uint32_t>(d.constants.size());
    size += 4 + 4 * static_cast<uint32_t>(d.passed_by_address.size());
    size += 4 + 4 * marked_count;
    return size + 4;
}

RecordOffset record_offsets(const Declarations &d, uint32_t records_at) {
    return [&d, records_at](std::string_view routine) {
        auto it = std::find(d.routines.begin(), d.routines.end(), routine);
        if (it == d.routines.end())
            throw std::runtime_error("no part of the program declares the routine \"" + std::string(routine) + "\"");
        return records_at + kRoutineRecordSize * static_cast<uint32_t>(it - d.routines.begin());
    };
}

uint32_t write_constant(ConstData &consts, const runtime::Constant &c, const ProgramSettings &settings,
                        const RecordOffset &record) {
    switch (c.kind) {
        case runtime::ConstantKind::text: return consts.text(std::string(c.text));
        case runtime::ConstantKind::setting: return consts.text(settings.named(c.text));
        case runtime::ConstantKind::empty_array: return consts.empty_array();
        case runtime::ConstantKind::bytes: return consts.byte_set(c.text);
        case runtime::ConstantKind::routine_table: {
            std::vector<uint32_t> records;
            for (std::string_view routine : c.routines) records.push_back(record(routine));
            return consts.routine_table(records);
        }
    }
    throw std::runtime_error("a constant of an unknown kind");
}

Section code_section(const Declarations &d, const RecordOffset &record, const std::vector<uint32_t> &const_refs,
                     const MarkedGroups &marked, MarkedGroups &reloc1_groups) {
    ByteWriter w;
    std::vector<uint32_t> relocations;
    auto reference = [&](uint32_t value, RelocationKind kind) {
        relocations.push_back(relocation_entry(static_cast<uint32_t>(w.size()), kind));
        w.u32(value);
    };
    for (uint32_t i = 0; i < kServiceStubCount; ++i) reference(4 * i, RelocationKind::service);
    w.u32(static_cast<uint32_t>(const_refs.size()));
    for (uint32_t ref : const_refs) reference(ref, RelocationKind::const_data);
    w.u32(static_cast<uint32_t>(d.passed_by_address.size()));
    for (std::string_view routine : d.passed_by_address) reference(record(routine), RelocationKind::code_data);
    w.u32(total_size(marked));
    for (size_t g = 0; g < kReloc1Groups; ++g) {
        for (uint32_t value : marked[g]) {
            reloc1_groups[g].push_back(static_cast<uint32_t>(w.size()));
            w.u32(value);
        }
    }
    w.u32(static_cast<uint32_t>(d.routines.size()));
    for (std::string_view name : d.routines) {
        std::string padded(name);
        padded.resize(kRoutineRecordSize, '\0');
        w.raw(padded);
    }
    uint32_t size = static_cast<uint32_t>(w.size());
    return Section{kCodeName, kCodeFlags, size, true, std::move(w.bytes()), std::move(relocations)};
}

std::vector<LibraryRecord> library_list() {
    std::vector<LibraryRecord> out;
    for (const auto &l : runtime::declared_libraries())
        out.push_back({l.name, l.identifier, l.major, l.minor, l.description});
    return out;
}

void check_parts_fit() {
    auto misplaced = runtime::image_misplaced_parts();
    if (misplaced.empty()) return;
    std::string names;
    for (auto name : misplaced) names += " \"" + std::string(name) + "\"";
    throw std::runtime_error("parts of the program without their place in the image:" + names);
}

}  // namespace

const std::string &ProgramSettings::named(std::string_view name) const {
    if (name == "service_host") return service_host;
    if (name == "echo_url") return echo_url;
    if (name == "default_number") return default_number;
    throw std::runtime_error("no deployment setting is named \"" + std::string(name) + "\"");
}

Image build_program_image(const ProgramSettings &settings) {
    check_parts_fit();
    Declarations declared;
    MarkedGroups marked = marked_constants();
    RecordOffset record = record_offsets(declared, records_offset(declared, total_size(marked)));

    Image image;
    ConstData consts;
    for (const auto &d : runtime::kDllCommands)
        image.dll_commands.push_back({d.library ? consts.text(d.library) : 0, consts.text(d.function)});
    std::vector<uint32_t> const_refs;
    for (const runtime::Constant *c : declared.constants) const_refs.push_back(write_constant(consts, *c, settings, record));

    image.start_offset = record(runtime::kStartRoutine);
    image.libraries = library_list();
    image.sections.push_back(consts.section());
    image.sections.push_back(form_section(settings.icon, record));
    image.sections.push_back(Section{kHelpName, kHelpFlags, kHelpSize, true, std::vector<uint8_t>(kHelpSize), {}});
    image.sections.push_back(code_section(declared, record, const_refs, marked, image.reloc1_groups));
    image.sections.push_back(Section{kVarName, kVarFlags, kVarSize, false, {}, {}});
    return image;
}

}  // namespace tolvar::program
