// The runtime service table and the kernel's block allocation.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"

namespace tolvar::kernel {

tolvar_services service_table();

// Reports a run-time error naming its code and ends the process with status 1.
[[noreturn]] void stop_with_runtime_error(int32_t code);

// The function of the image's DLL command `index`, its stand-in opened on the
// first call; one that cannot be loaded ends the program.
void *dll_command(uint32_t index);

void *allocate_block(uint32_t size);
void release_block(void *block);
// False for an address inside the loaded image (a constant), which is never freed.
bool owns_block(const void *block);

// Runs the routine whose record lies at this image-relative address.
void run_routine(uint64_t address);

}  // namespace tolvar::kernel
