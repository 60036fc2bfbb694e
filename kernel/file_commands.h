// The kernel's file commands (TOLVAR_KCMD_READ_FILE to TOLVAR_KCMD_DELETE_FILE).
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

bool is_file_command(uint32_t command);
tolvar_arg file_command(uint32_t command, int32_t count, const tolvar_arg *args);
// Closes every file the program left open.
void close_all_files();

}  // namespace tolvar::kernel
