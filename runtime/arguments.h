// Arguments of kernel and support-library commands, as the program passes them.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "abi/tolvar_abi.h"
#include "runtime/owned.h"

namespace tolvar::runtime {

inline tolvar_arg text_arg(const char *text) { return tolvar_pointer_arg(text, TOLVAR_TYPE_TEXT); }
inline tolvar_arg bytes_arg(const void *byte_set) { return tolvar_pointer_arg(byte_set, TOLVAR_TYPE_BYTES); }
inline tolvar_arg int_arg(int32_t v) {
    return {static_cast<uint32_t>(v), v < 0 ? 0xFFFFFFFFu : 0u, TOLVAR_TYPE_INT};
}
// A control of the main window as an argument.
inline tolvar_arg control_ref(uint32_t control) { return {TOLVAR_MAIN_WINDOW, control, 0}; }

// Runs kernel command `command` with these arguments.
tolvar_arg kernel_command(uint32_t command, std::initializer_list<tolvar_arg> args);
tolvar_arg kernel_command(uint32_t command, const tolvar_arg *args, int32_t count);
// A result that is a text, owned (a new empty text when none came).
Text owned_text(const tolvar_arg &result);
// A result that is a byte set, owned (a new empty one when none came).
ByteSet owned_bytes(const tolvar_arg &result);

}  // namespace tolvar::runtime
