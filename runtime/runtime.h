// The program's typed view of the kernel library: the service table reached
// through the code data's service stubs, the image's constants, and the few
// value representations the routines exchange with the kernel.
#pragma once

#include <cstdint>
#include <string_view>

#include "abi/tolvar_abi.h"
#include "runtime/dll_commands.h"
#include "runtime/image_content.h"
#include "runtime/owned.h"

namespace tolvar::runtime {

// Called first by the start routine with the address the kernel passed.
void attach(const tolvar_program *program);
const tolvar_program &program();

// Where a constant of the image lies, once loaded.
const char *const_text(const Constant &constant);
const uint8_t *const_data(const Constant &constant);
// The image-relative address of a routine the code passes by address.
uint32_t routine_address(std::string_view routine);

// Service slots. A block from allocate or resize is raw memory until an
// owner (runtime/owned.h) takes it.
[[noreturn]] void runtime_error(int32_t code);
void *allocate(uint32_t size);
void *resize(void *block, uint32_t size);
void end_program();
int32_t event_loop();
int32_t load_window(uint32_t window);
void at_end(std::string_view routine);
void array_grows(void *array_variable);

// Lets pending window messages run (handlers may nest here).
void process_events();
// The native address of a routine the code passes by address.
void *native_routine(std::string_view routine);
// The native address of the routine whose record lies at this image-relative address.
void *native_routine_at(uint32_t address);
// The bound function of DLL command `command`, called with its Windows signature.
template <class Fn>
Fn dll(Dll command);
void *dll_function(Dll command);

// A new heap text holding `text`.
Text new_text(std::string_view text);
// The kernel's message box: the text, an OK button, the window's title as title.
void message_box(const char *text);

// Byte sets: u32 1, u32 length, then the bytes.
ByteSet new_bytes(const void *data, uint32_t length);
uint32_t bytes_length(const void *byte_set);  // 0 for a missing byte set
const uint8_t *bytes_data(const void *byte_set);

// An array block: u32 dimension count, the sizes, then 8-byte element references.
uint32_t array_count(const void *array);
void **array_elements(void *array);

template <class Fn>
Fn dll(Dll command) {
    return reinterpret_cast<Fn>(dll_function(command));
}

}  // namespace tolvar::runtime
