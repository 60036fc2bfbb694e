// The program's two globals, alive for the whole run.
#pragma once

#include <cstdint>

namespace tolvar::runtime {

// A window record of `window list`: three integers, then two texts.
struct WindowRecord {
    int32_t handle;
    int32_t process;
    int32_t thread;
    char *title;
    char *class_name;
};

struct Globals {
    char *referrer_number = nullptr;  // set by the window's start-up; null until then
    void *window_list = nullptr;      // array of WindowRecord references
};

Globals &globals();

}  // namespace tolvar::runtime
