// The kernel's late-bound object services: COM objects created by ProgID from
// the platform's stand-ins, their members read, written and called by name
// (the object commands of the ABI).
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

bool is_object_command(uint32_t command);
tolvar_arg object_command(uint32_t command, int32_t count, const tolvar_arg *args);

}  // namespace tolvar::kernel
