// The program's two globals, alive for the whole run and released by the
// clean-up routine.
#pragma once

#include "runtime/owned.h"
#include "runtime/window_list.h"

namespace tolvar::runtime {

struct Globals {
    Text referrer_number;    // set by the window's start-up; empty until then
    WindowList window_list;  // array of WindowRecord references
};

// Never destroyed: what it holds is released by the clean-up routine while
// the kernel's service table still exists, never at the process's exit.
Globals &globals();

}  // namespace tolvar::runtime
