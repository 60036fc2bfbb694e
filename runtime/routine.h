// How the program declares a routine that the kernel, or a Windows function
// it is handed to, calls: exported under its own name with C linkage, and
// nothing escapes it. Every exported routine is written
//
//     TOLVAR_ROUTINE(int32_t, login_submit, (int32_t, const tolvar_arg *)) {
//         ...
//     }
//     TOLVAR_ROUTINE_END
//
// The body is a function-try-block: an exception that would leave it (memory
// ran out, an internal fault) stops the program with the run-time error
// TOLVAR_ERROR_UNEXPECTED through the service table instead of unwinding into
// the caller's C frames. A routine whose end is missing does not compile.
#pragma once

#include <cstdint>

#include "abi/tolvar_abi.h"
#include "runtime/runtime.h"

#define TOLVAR_ROUTINE(result, name, parameters) \
    extern "C" __attribute__((visibility("default"))) result name parameters noexcept try

#define TOLVAR_ROUTINE_END                                         \
    catch (...) {                                                  \
        ::tolvar::runtime::runtime_error(TOLVAR_ERROR_UNEXPECTED); \
    }
