// The main window as static layout data: the window, its 60 controls and its
// 23 menu items with every place, size, text and option. The image builder
// writes the form section from this table alone.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "abi/win32.h"
#include "runtime/controls.h"

namespace tolvar::ui {

using namespace tolvar::runtime;  // the controls and menu items by name

// A Windows font as the layout names it (LOGFONT's height, weight, character set, face).
struct Font {
    int32_t height;  // negative: character height in pixels
    int32_t weight;  // 400 normal, 700 bold
    uint8_t charset; // 0 ANSI, 134 GB2312
    const char *face;
};

// What a control's row sets; whatever a row leaves out keeps the platform's default.
struct Options {
    const char *text = "";           // caption or initial content (GBK)
    std::vector<const char *> pages; // a tab control's page titles
    COLORREF text_color = CLR_DEFAULT;
    std::optional<Font> font;
    uint32_t max_length = 0;  // 0: unlimited
    bool multiline = false;
    uint32_t border = 0;       // 0 none, 1 sunken, 5 thin
    uint32_t label_style = 0;  // 5: thin sunken frame
    uint32_t alignment = 0;    // 0 left, 1 centre, 2 right
    const char *accessible_name = "";  // for a control without a caption: the label or group beside it
    uint32_t enter_button = 0;         // an edit box's button that Return presses (0: none)
};

enum class Kind : uint32_t {
    edit = TOLVAR_TYPE_ID_EDIT,
    picture = TOLVAR_TYPE_ID_PICTURE,
    group = TOLVAR_TYPE_ID_GROUP,
    label = TOLVAR_TYPE_ID_LABEL,
    button = TOLVAR_TYPE_ID_BUTTON,
    list = TOLVAR_TYPE_ID_LIST,
    tab = TOLVAR_TYPE_ID_TAB,
    hyperlink = TOLVAR_TYPE_ID_HYPERLINK,
    timer = TOLVAR_TYPE_ID_TIMER,
    html = TOLVAR_TYPE_ID_HTML_VIEW,
};

struct WindowLayout {
    const char *title;  // GBK
    int32_t left, top, width, height;
};

struct ControlLayout {
    Control id;
    Kind kind;
    uint32_t parent;  // TOLVAR_MAIN_WINDOW, a group box, or 选择夹1 with `page`
    int32_t page;     // page of 选择夹1, -1 when the parent is no tab control
    int32_t left, top, width, height;
    Options options;
    bool hidden = false;
    bool disabled = false;
};

struct MenuLayout {
    MenuItem id;
    uint32_t level;  // 0 top-level, 1 item of the last top-level menu
    bool hidden;
    const char *caption;  // GBK
};

const WindowLayout &window_layout();
const std::vector<ControlLayout> &control_layouts();
const std::vector<MenuLayout> &menu_layouts();

// The window's title at design time, also the default title at start-up.
const char *default_title();

}  // namespace tolvar::ui
