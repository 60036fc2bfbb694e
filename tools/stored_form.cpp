// Compiled with -fexec-charset=GBK: the window's object name is a GBK text.
#include "tools/stored_form.h"

#include <algorithm>

#include "abi/tolvar_abi.h"
#include "image/control_options.h"
#include "image/form_format.h"
#include "ui/event_bindings.h"
#include "ui/main_window_layout.h"

namespace tolvar::program {

using namespace tolvar::image;

namespace {

constexpr uint32_t kFormFlags = 1;
constexpr uint32_t kTabControlFlags = 0x11;

std::vector<EventBinding> bindings_of(uint32_t object, const RecordOffset &record) {
    std::vector<EventBinding> out;
    for (const auto &b : ui::event_bindings())
        if (b.object == object) out.push_back({b.event, record(b.routine)});
    return out;
}

uint32_t control_flags(const ui::ControlLayout &c) {
    if (c.kind == ui::Kind::tab) return kTabControlFlags;
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

// A row's options as the control's option block holds them.
ControlOptions stored_options(const ui::Options &o) {
    ControlOptions out;
    out.text = o.text;
    out.pages.assign(o.pages.begin(), o.pages.end());
    out.text_color = o.text_color;
    if (o.font) out.font = LogFont{o.font->height, o.font->weight, o.font->charset, o.font->face};
    out.max_length = o.max_length;
    out.multiline = o.multiline ? 1 : 0;
    out.border = o.border;
    out.label_style = o.label_style;
    out.alignment = o.alignment;
    out.accessible_name = o.accessible_name;
    out.enter_button = o.enter_button;
    return out;
}

FormObject window_object(const std::vector<uint8_t> &icon, const RecordOffset &record) {
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
    window.bindings = bindings_of(TOLVAR_WINDOW_OBJECT, record);
    window.options = write_window_options({w.title, icon, {}});
    return window;
}

FormObject control_object(const ui::ControlLayout &c, const RecordOffset &record) {
    FormObject o;
    o.id = c.id;
    o.type_id = static_cast<uint32_t>(c.kind);
    o.name = runtime::kControlNames[c.id - runtime::kFirstControlId];
    o.left = c.left;
    o.top = c.top;
    o.width = c.width;
    o.height = c.height;
    o.parent = c.parent;
    o.children = children_of(c.id, c.kind == ui::Kind::tab);
    o.flags = control_flags(c);
    o.bindings = bindings_of(c.id, record);
    o.options = write_control_options(stored_options(c.options));
    return o;
}

FormObject menu_item_object(const ui::MenuLayout &m, const RecordOffset &record) {
    FormObject o;
    o.id = m.id;
    o.type_id = TOLVAR_TYPE_ID_MENU_ITEM;
    o.name = runtime::kMenuItemNames[m.id - runtime::kFirstMenuItemId];
    o.level = m.level;
    o.hidden = m.hidden ? 1 : 0;
    o.caption = m.caption;
    auto bindings = bindings_of(m.id, record);
    o.handler = bindings.empty() ? -1 : static_cast<int32_t>(bindings.front().code_offset);
    return o;
}

}  // namespace

Section form_section(const std::vector<uint8_t> &icon, const RecordOffset &record) {
    Form form;
    form.objects.push_back(window_object(icon, record));
    for (const auto &c : ui::control_layouts()) form.objects.push_back(control_object(c, record));
    for (const auto &m : ui::menu_layouts()) form.objects.push_back(menu_item_object(m, record));
    std::vector<uint8_t> data = write_form(form);
    uint32_t size = static_cast<uint32_t>(data.size());
    return Section{kFormName, kFormFlags, size, true, std::move(data), {}};
}

}  // namespace tolvar::program
