// Finding the program's own visible window, and the reminder box that shows
// itself over it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "abi/win32.h"

namespace tolvar::web {

struct WindowInfo {
    uint32_t handle = 0;
    uint32_t process = 0;
    uint32_t thread = 0;
    std::string title;       // at most 255 bytes
    std::string class_name;  // at most 49 bytes
};

// Replaces `list` with one record per visible top-level window, in the
// system's enumeration order; returns the number of records.
int32_t enum_visible_windows(std::vector<WindowInfo> &list);
// The handle of the first visible window of that process, or 0.
uint32_t find_own_window(uint32_t process_id);
// MessageBoxA over the program's own window (unless an owner is given), titled
// "友情提醒" unless a title is given; `style` is MessageBoxA's type (MB_OK,
// MB_ICONWARNING, ...). Returns the button's code minus 1 (IDOK gives 0, a
// failed call -1).
int32_t reminder_box(std::string_view message = {}, uint32_t style = MB_OK,
                     std::optional<std::string_view> title = std::nullopt,
                     std::optional<uint32_t> owner = std::nullopt);

}  // namespace tolvar::web
