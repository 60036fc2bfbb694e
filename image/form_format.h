// The stored form: the main window, its controls and its menu items as the form
// section holds them.
//
// Data: seven u32 (8, the window id 0x52010001, two opaque values, 0x1901002E,
// 0, 0); the object count; the byte length of everything after that field; the
// ids; the record offsets (from the first record); the records. A record starts
// with its byte length (the length field included) and its library type id, 20
// zero bytes and the name. A window or control record goes on with an empty
// comment, 0, left, top, width, height, 0, the parent id, the child ids (a tab
// control's pages separated by a 0 id), the pair 4, 0, then 0, an empty tag, the
// flags, 0, the event bindings (event number, code-data offset) and last the
// option block of its kind. A menu item record goes on with an empty comment, 0,
// its level, its hidden mark, its caption, its handler's code-data offset (-1 for
// none) and 16 zero bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "abi/tolvar_abi.h"

namespace tolvar::image {

inline constexpr uint32_t kFormLead0 = 8;
inline constexpr uint32_t kFormLead4 = 0x1901002E;

// Flags of a window or control record.
inline constexpr uint32_t kFlagVisible = 1;
inline constexpr uint32_t kFlagDisabled = 2;
inline constexpr uint32_t kFlagFocusable = 4;

// Event numbers of the bindings.
inline constexpr int32_t kEventMain = TOLVAR_EVENT_MAIN;
inline constexpr int32_t kEventPageChanged = TOLVAR_EVENT_PAGE_CHANGED;
inline constexpr int32_t kEventRightButton = TOLVAR_EVENT_RIGHT_BUTTON;
inline constexpr int32_t kEventFocus = TOLVAR_EVENT_FOCUS;

struct EventBinding {
    int32_t event = 0;
    uint32_t code_offset = 0;
};

struct FormObject {
    uint32_t id = 0;
    uint32_t type_id = 0;
    std::string name;  // GBK
    // window or control
    int32_t left = 0, top = 0, width = 0, height = 0;
    uint32_t parent = 0;
    std::vector<uint32_t> children;
    uint32_t flags = 0;
    std::vector<EventBinding> bindings;
    std::vector<uint8_t> options;  // the option block of the kind
    // menu item
    uint32_t level = 0;
    uint32_t hidden = 0;
    std::string caption;  // GBK
    int32_t handler = -1;

    bool is_menu_item() const;
};

struct Form {
    uint32_t window_id = 0x52010001u;
    uint32_t opaque1 = 0;
    uint32_t opaque2 = 0;
    std::vector<FormObject> objects;

    const FormObject *find(uint32_t id) const;
};

std::vector<uint8_t> write_form(const Form &form);
std::optional<Form> read_form(std::span<const uint8_t> data, std::string &error);

// The window's option block: title (zero-ended GBK), icon (u32 length, a whole
// ICO file), background picture (u32 length, bytes; empty here).
struct WindowOptions {
    std::string title;
    std::vector<uint8_t> icon;
    std::vector<uint8_t> background;
};
std::vector<uint8_t> write_window_options(const WindowOptions &options);
std::optional<WindowOptions> read_window_options(std::span<const uint8_t> block);

}  // namespace tolvar::image
