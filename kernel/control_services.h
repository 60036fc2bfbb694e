// The window's and its controls' properties and kernel commands.
#pragma once

#include <cstdint>

#include "kernel/main_window.h"
#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

tolvar_arg control_property(MainWindow &window, uint32_t object, uint32_t property);
void set_control_property(MainWindow &window, uint32_t object, uint32_t property, const tolvar_arg &value);
// `window` may be null before the window is loaded: commands on controls then do nothing.
tolvar_arg control_command(MainWindow *window, uint32_t command, int32_t count, const tolvar_arg *args);

}  // namespace tolvar::kernel
