// Compiled with -fexec-charset=GBK: every quoted text here is the image's GBK text.
#include "tools/program_image.h"

#include <algorithm>
#include <map>

#include "image/byte_io.h"
#include "image/code_layout.h"
#include "image/form_format.h"
#include "image/program_table.h"
#include "image/control_options.h"
#include "runtime/tolvar_abi.h"
#include "ui/event_bindings.h"
#include "ui/main_window_layout.h"

namespace tolvar::program {

using namespace tolvar::image;

namespace {

constexpr uint32_t kConstFlags = 1, kFormFlags = 1, kHelpFlags = 1, kCodeFlags = 5, kVarFlags = 0x13;
constexpr uint32_t kHelpSize = 52;
constexpr uint32_t kVarSize = 8;

// The twelve shopping links of the menu "精彩推荐", in link order.
const char *const kShoppingLinks[12] = {
    "http://shop.example.com/mall/",          "http://shop.example.com/girls/",
    "http://shop.example.com/crown-shops/",   "http://shop.example.com/channel/flights/",
    "http://shop.example.com/channel/all/",   "http://shop.example.com/channel/baby/",
    "http://shop.example.com/channel/appliances/", "http://shop.example.com/channel/deals/",
    "http://shop.example.com/channel/beauty/", "http://shop.example.com/click?shop=korean-fashion",
    "http://shop.example.com/click?shop=slimming", "http://shop.example.com/click?shop=menswear",
};

// Constants the code marks for renumbering, by "@reloc1" group: window ids,
// DLL-command indexes, support-library indexes, library type ids.
std::array<std::vector<uint32_t>, kReloc1Groups> marked_constants() {
    std::array<std::vector<uint32_t>, kReloc1Groups> groups;
    groups[0] = {TOLVAR_MAIN_WINDOW, TOLVAR_WINDOW_OBJECT};
    for (uint32_t i = 0; i < std::size(program::kDllCommands); ++i) groups[1].push_back(i);
    groups[2] = {4, 2, 5};
    groups[3] = {TOLVAR_TYPE_ID_EDIT,   TOLVAR_TYPE_ID_REGEX,      TOLVAR_TYPE_ID_LIST,     TOLVAR_TYPE_ID_REGEX_MATCH,
                 TOLVAR_TYPE_ID_WINDOW, TOLVAR_TYPE_ID_MENU_ITEM, TOLVAR_TYPE_ID_HYPERLINK};
    return groups;
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
    uint32_t empty_array() const { return empty_array_; }
    Section section() {
        Section s{kConstName, kConstFlags, static_cast<uint32_t>(w_.size()), true, std::move(w_.bytes()),
                  std::move(relocations_)};
        return s;
    }

private:
    ByteWriter w_;
    std::map<std::string, uint32_t> texts_;
    std::vector<uint32_t> relocations_;
    uint32_t empty_array_ = 0;
};

// Offset of routine record `r` once the code data's tables are laid out.
struct CodePlan {
    uint32_t records_at = 0;
    uint32_t record(Routine r) const { return records_at + kRoutineRecordSize * static_cast<uint32_t>(r); }
};

CodePlan plan_code(uint32_t marked_count) {
    uint32_t size = kServiceStubsSize;
    size += 4 + 4 * kConstRefCount;
    size += 4 + 4 * static_cast<uint32_t>(std::size(kRoutineRefTargets));
    size += 4 + 4 * marked_count;
    size += 4;
    return {size};
}

Section code_section(const CodePlan &plan, const std::vector<uint32_t> &const_refs,
                     const std::array<std::vector<uint32_t>, kReloc1Groups> &marked,
                     std::array<std::vector<uint32_t>, kReloc1Groups> &reloc1_groups) {
    ByteWriter w;
    std::vector<uint32_t> relocations;
    for (uint32_t i = 0; i < kServiceStubCount; ++i) {
        relocations.push_back(relocation_entry(static_cast<uint32_t>(w.size()), RelocationKind::service));
        w.u32(4 * i);
    }
    w.u32(static_cast<uint32_t>(const_refs.size()));
    for (uint32_t ref : const_refs) {
        relocations.push_back(relocation_entry(static_cast<uint32_t>(w.size()), RelocationKind::const_data));
        w.u32(ref);
    }
    w.u32(static_cast<uint32_t>(std::size(kRoutineRefTargets)));
    for (Routine target : kRoutineRefTargets) {
        relocations.push_back(relocation_entry(static_cast<uint32_t>(w.size()), RelocationKind::code_data));
        w.u32(plan.record(target));
    }
    uint32_t marked_count = 0;
    for (const auto &g : marked) marked_count += static_cast<uint32_t>(g.size());
    w.u32(marked_count);
    for (size_t g = 0; g < kReloc1Groups; ++g) {
        for (uint32_t value : marked[g]) {
            reloc1_groups[g].push_back(static_cast<uint32_t>(w.size()));
            w.u32(value);
        }
    }
    w.u32(kRoutineCount);
    for (const char *name : kRoutineNames) {
        std::string padded(name);
        padded.resize(kRoutineRecordSize, '\0');
        w.raw(padded);
    }
    uint32_t size = static_cast<uint32_t>(w.size());
    return Section{kCodeName, kCodeFlags, size, true, std::move(w.bytes()), std::move(relocations)};
}

std::vector<EventBinding> bindings_of(uint32_t object, const CodePlan &plan) {
    std::vector<EventBinding> out;
    for (const auto &b : ui::event_bindings())
        if (b.object == object) out.push_back({b.event, plan.record(b.routine)});
    return out;
}

uint32_t control_flags(const ui::ControlLayout &c) {
    if (c.kind == ui::Kind::tab) return 0x11;
    bool focusable = c.kind == ui::Kind::edit || c.kind == ui::Kind::button || c.kind == ui::Kind::list ||
                     c.kind == ui::Kind::html;
    return (c.hidden ? 0 : kFlagVisible) | (c.disabled ? kFlagDisabled : 0) | (focusable ? kFlagFocusable : 0);
}

// Child ids of a control or the window; a tab control's pages each end with a 0.
std::vector<uint32_t> children_of(uint32_t parent, bool tab) {
    std::vector<uint32_t> out;
    int32_t pages = 0;
    for (const auto &c : ui::control_layouts())
        if (c.parent == parent) pages = std::max(pages, c.page + 1);
    for (int32_t page = tab ? 0 : -1; page < (tab ? pages : 0); ++page) {
        for (const auto &c : ui::control_layouts())
            if (c.parent == parent && c.page == page) out.push_back(c.id);
        if (tab) out.push_back(0);
    }
    return out;
}

Section form_section(const ProgramSettings &settings, const CodePlan &plan) {
    Form form;
    const ui::WindowLayout &w = ui::window_layout();
    FormObject window;
    window.id = TOLVAR_WINDOW_OBJECT;
    window.type_id = TOLVAR_TYPE_ID_WINDOW;
    window.name = "主窗口";
    window.left = w.left;
    window.top = w.top;
    window.width = w.width;
    window.height = w.height;
    window.children = children_of(TOLVAR_MAIN_WINDOW, false);
    window.flags = kFlagVisible | kFlagFocusable;
    window.bindings = bindings_of(TOLVAR_WINDOW_OBJECT, plan);
    window.options = write_window_options({w.title, settings.icon, {}});
    form.objects.push_back(std::move(window));

    for (const auto &c : ui::control_layouts()) {
        FormObject o;
        o.id = c.id;
        o.type_id = static_cast<uint32_t>(c.kind);
        o.name = ui::kControlNames[c.id - ui::kFirstControlId];
        o.left = c.left;
        o.top = c.top;
        o.width = c.width;
        o.height = c.height;
        o.parent = c.parent;
        o.children = children_of(c.id, c.kind == ui::Kind::tab);
        o.flags = control_flags(c);
        o.bindings = bindings_of(c.id, plan);
        o.options = write_control_options(c.options);
        form.objects.push_back(std::move(o));
    }
    for (const auto &m : ui::menu_layouts()) {
        FormObject o;
        o.id = m.id;
        o.type_id = TOLVAR_TYPE_ID_MENU_ITEM;
        o.name = ui::kMenuItemNames[m.id - ui::kFirstMenuItemId];
        o.level = m.level;
        o.hidden = m.hidden ? 1 : 0;
        o.caption = m.caption;
        auto bindings = bindings_of(m.id, plan);
        o.handler = bindings.empty() ? -1 : static_cast<int32_t>(bindings.front().code_offset);
        form.objects.push_back(std::move(o));
    }
    std::vector<uint8_t> data = write_form(form);
    uint32_t size = static_cast<uint32_t>(data.size());
    return Section{kFormName, kFormFlags, size, true, std::move(data), {}};
}

}  // namespace

std::vector<LibraryRecord> declared_libraries() {
    return {
        {"krnln", "d09f2340818511d396f6aaf844c7e325", "5", "0", "系统核心支持库"},
        {"spec", "A512548E76954B6E92C21055517615B0", "3", "0", "特殊功能支持库"},
        {"eImgConverter", "8FA3AA46276847db8F28E57E7FB97B7F", "2", "0", "图像格式转换支持库"},
        {"HtmlView", "5014D8FA6DCA40b68FA626D8183666EB", "2", "0", "超文本浏览框支持库"},
        {"eAPI", "F7FC1AE45C5C4758AF03EF19F18A395D", "3", "0", "应用接口支持库"},
        {"internet", "707ca37322474f6ca841f0e224f4b620", "2", "0", "互联网支持库"},
        {"iext", "27bb20fdd3e145e4bee3db39ddd6e64c", "2", "0", "扩展界面支持库一"},
    };
}

Image build_program_image(const ProgramSettings &settings) {
    Image image;
    ConstData consts;
    for (const auto &d : program::kDllCommands)
        image.dll_commands.push_back({d.library ? consts.text(d.library) : 0, consts.text(d.function)});

    auto marked = marked_constants();
    uint32_t marked_count = 0;
    for (const auto &g : marked) marked_count += static_cast<uint32_t>(g.size());
    CodePlan plan = plan_code(marked_count);

    std::vector<uint32_t> operations;
    for (Routine op : kRegexOperations) operations.push_back(plan.record(op));
    std::vector<uint32_t> const_refs(kConstRefCount);
    auto ref = [&](ConstRef r) -> uint32_t & { return const_refs[static_cast<uint32_t>(r)]; };
    ref(ConstRef::empty_text) = 0;
    ref(ConstRef::empty_array) = consts.empty_array();
    ref(ConstRef::regex_operations) = consts.routine_table(operations);
    ref(ConstRef::service_host) = consts.text(settings.service_host);
    ref(ConstRef::echo_url) = consts.text(settings.echo_url);
    ref(ConstRef::default_number) = consts.text(settings.default_number);
    ref(ConstRef::help_file) = consts.text("/使用帮助.html");
    for (uint32_t i = 0; i < 12; ++i)
        const_refs[static_cast<uint32_t>(ConstRef::shopping_link_1) + i] = consts.text(kShoppingLinks[i]);

    image.start_offset = plan.record(Routine::tolvar_start);
    image.libraries = declared_libraries();
    image.sections.push_back(consts.section());
    image.sections.push_back(form_section(settings, plan));
    image.sections.push_back(Section{kHelpName, kHelpFlags, kHelpSize, true, std::vector<uint8_t>(kHelpSize), {}});
    image.sections.push_back(code_section(plan, const_refs, marked, image.reloc1_groups));
    image.sections.push_back(Section{kVarName, kVarFlags, kVarSize, false, {}, {}});
    return image;
}

}  // namespace tolvar::program
