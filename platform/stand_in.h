// What every stand-in shares: the Windows types, and how a function is
// exported under its Windows name.
#pragma once

#include <new>

#include "abi/win32.h"
#include "platform/last_error.h"

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

// Every export of a stand-in is written
//
//     STANDIN_FUNCTION(BOOL, IsWindowVisible, (HWND window)) {
//         ...
//     }
//     STANDIN_FUNCTION_END(FALSE)
//
// with its Windows name, C linkage and a function-try-block: an exception that
// would leave it (memory ran out, an internal fault) ends the call as a failed
// Windows call ends, with the failure value given at the end and the last
// error set, instead of unwinding into the caller's frames.
#define STANDIN_FUNCTION(result, name, parameters) STANDIN_EXPORT result name parameters noexcept try

#define STANDIN_FUNCTION_END(failure)                                                          \
    catch (...) {                                                                              \
        ::tolvar::platform::set_last_error(::tolvar::platform::error_of_current_exception()); \
        return failure;                                                                        \
    }

namespace tolvar::platform {

// Called in a handler: the Windows error the exception being handled stands for.
inline DWORD error_of_current_exception() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc &) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_INTERNAL_ERROR;
    }
}

}  // namespace tolvar::platform
