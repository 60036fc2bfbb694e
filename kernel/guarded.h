// Nothing the kernel hands out unwinds into its caller's frames: the services
// of the table, the run entry and the exports run inside a guard that turns
// an exception escaping them (memory ran out, an internal fault) into the
// run-time error TOLVAR_ERROR_UNEXPECTED, which reports and stops the program.
#pragma once

#include "abi/tolvar_abi.h"
#include "kernel/services.h"

namespace tolvar::kernel {

template <auto Function>
struct Guarded;

template <class Result, class... Arguments, Result (*Function)(Arguments...)>
struct Guarded<Function> {
    static Result call(Arguments... arguments) noexcept {
        try {
            return Function(arguments...);
        } catch (...) {
            stop_with_runtime_error(TOLVAR_ERROR_UNEXPECTED);
        }
    }
};

// `Function` behind the guard, as a plain function pointer to hand out.
template <auto Function>
inline constexpr auto guarded = &Guarded<Function>::call;

}  // namespace tolvar::kernel
