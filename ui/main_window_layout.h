// The main window as static layout data: the window, its 60 controls and its
// 23 menu items with every place, size, text and option. The image builder
// writes the form section from this table alone.
#pragma once

#include <cstdint>
#include <vector>

#include "image/control_options.h"
#include "ui/layout_ids.h"

namespace tolvar::ui {

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
    image::ControlOptions options;
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
