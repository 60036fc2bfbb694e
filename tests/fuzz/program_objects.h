// The fuzz kernel's object commands: late-bound objects of the vbscript
// stand-in linked into the target, with texts crossing through the kernel32
// code pages linked there too, as the real kernel hands them across. A
// reference the program does not hold, or one it never releases, is a fault.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

namespace tolvar::fuzz {

// A text value in a block the program owns.
using TextBlock = tolvar_arg (*)(const char *bytes, uint32_t length);

// Serves TOLVAR_KCMD_OBJECT_CREATE to TOLVAR_KCMD_OBJECT_CALL.
tolvar_arg object_command(uint32_t command, int32_t count, const tolvar_arg *args, TextBlock text_block);

// References the program holds now, over all objects.
uint32_t held_object_references();

}  // namespace tolvar::fuzz
