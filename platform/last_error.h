// The thread's last-error value of Windows, kept by the kernel32 stand-in: the
// other stand-ins set it through kernel32's SetLastError, found in their own
// folder (last_error.cpp); kernel32 defines this function over its own value.
#pragma once

#include "abi/win32.h"

namespace tolvar::platform {

void set_last_error(DWORD error);

}  // namespace tolvar::platform
