#include "runtime/runtime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "runtime/arguments.h"
#include "runtime/services.h"

namespace tolvar::runtime {

namespace {

tolvar_program g_program{};

uint32_t code_u32(uint32_t offset) {
    uint32_t v;
    std::memcpy(&v, g_program.block + g_program.code_data + offset, 4);
    return v;
}

// Offsets inside the code data of the const and routine reference tables:
// each table follows its count, and the const references follow the stubs.
constexpr uint32_t kConstRefsAt = TOLVAR_CODE_STUBS_SIZE + 4;
uint32_t routine_refs_at() { return kConstRefsAt + 4 * code_u32(kConstRefsAt - 4) + 4; }

// A constant's place in the const reference table: where the builder put it.
uint32_t constant_index(const Constant &constant) {
    static const std::vector<const Constant *> constants = image_constants();
    auto it = std::find(constants.begin(), constants.end(), &constant);
    if (it == constants.end()) runtime_error(TOLVAR_ERROR_WRONG_TYPE);
    return static_cast<uint32_t>(it - constants.begin());
}

uint32_t passed_routine_index(std::string_view routine) {
    static const std::vector<std::string_view> routines = image_routines_passed_by_address();
    auto it = std::find(routines.begin(), routines.end(), routine);
    if (it == routines.end()) runtime_error(TOLVAR_ERROR_WRONG_TYPE);
    return static_cast<uint32_t>(it - routines.begin());
}

}  // namespace

// The stub at code offset 0 holds, once relocated, the block offset of slot
// 0x00; the slots follow in order.
const tolvar_services &services() {
    return *reinterpret_cast<const tolvar_services *>(g_program.block + code_u32(0));
}

void attach(const tolvar_program *p) { g_program = *p; }
const tolvar_program &program() { return g_program; }

const uint8_t *const_data(const Constant &constant) {
    return g_program.block + code_u32(kConstRefsAt + 4 * constant_index(constant));
}
const char *const_text(const Constant &constant) { return reinterpret_cast<const char *>(const_data(constant)); }

uint32_t routine_address(std::string_view routine) {
    return code_u32(routine_refs_at() + 4 * passed_routine_index(routine));
}

// Before the start routine has attached the program there is no table to
// report through.
void runtime_error(int32_t code) {
    if (g_program.block) services().runtime_error(code);
    std::abort();  // the kernel never returns from a run-time error
}
void *allocate(uint32_t size) { return services().allocate(size); }
void *resize(void *block, uint32_t size) { return services().resize(block, size); }
void end_program() { services().end_program(); }
int32_t event_loop() { return services().event_loop(0); }
int32_t load_window(uint32_t window) { return services().load_window(window); }
void at_end(std::string_view routine) {
    services().special(TOLVAR_SPECIAL_AT_END, routine_address(routine), 0);
}
void array_grows(void *array_variable) {
    services().special(TOLVAR_SPECIAL_ARRAY_GROWS, 4, reinterpret_cast<uintptr_t>(array_variable));
}

void process_events() { services().kernel_command(TOLVAR_KCMD_PROCESS_EVENTS, 0, nullptr); }

void *native_routine(std::string_view routine) { return native_routine_at(routine_address(routine)); }

void *native_routine_at(uint32_t address) {
    tolvar_arg arg{address, 0, TOLVAR_TYPE_ADDRESS};
    return tolvar_arg_pointer(services().kernel_command(TOLVAR_KCMD_ROUTINE_ADDRESS, 1, &arg));
}

void *dll_function(Dll command) { return services().dll_command(static_cast<uint32_t>(command)); }

ByteSet new_bytes(const void *data, uint32_t length) {
    ByteSet block(allocate(8 + length));
    auto *bytes = static_cast<uint8_t *>(block.get());
    const uint32_t header[2] = {1, length};
    std::memcpy(bytes, header, 8);
    if (length) std::memcpy(bytes + 8, data, length);
    return block;
}

uint32_t bytes_length(const void *byte_set) {
    if (!byte_set) return 0;
    uint32_t length;
    std::memcpy(&length, static_cast<const uint8_t *>(byte_set) + 4, 4);
    return length;
}

const uint8_t *bytes_data(const void *byte_set) { return static_cast<const uint8_t *>(byte_set) + 8; }

Text new_text(std::string_view text) {
    Text t(static_cast<char *>(allocate(static_cast<uint32_t>(text.size() + 1))));
    if (!text.empty()) std::memcpy(t.get(), text.data(), text.size());
    t.get()[text.size()] = 0;
    return t;
}

void message_box(const char *text) { kernel_command(TOLVAR_KCMD_MESSAGE_BOX, {text_arg(text)}); }

uint32_t array_count(const void *array) {
    if (!array) return 0;
    const auto *a = static_cast<const uint32_t *>(array);
    uint32_t count = 1;
    for (uint32_t d = 0; d < a[0]; ++d) count *= a[1 + d];
    return count;
}

void **array_elements(void *array) {
    auto *a = static_cast<uint32_t *>(array);
    // Elements start 8-byte aligned after the dimension sizes.
    uint32_t header = 4 + 4 * a[0];
    header = (header + 7) & ~7u;
    return reinterpret_cast<void **>(reinterpret_cast<uint8_t *>(array) + header);
}

tolvar_arg kernel_command(uint32_t command, std::initializer_list<tolvar_arg> args) {
    return services().kernel_command(command, static_cast<int32_t>(args.size()), args.begin());
}

tolvar_arg kernel_command(uint32_t command, const tolvar_arg *args, int32_t count) {
    return services().kernel_command(command, count, args);
}

Text owned_text(const tolvar_arg &result) {
    if (result.type == TOLVAR_TYPE_TEXT && tolvar_arg_pointer(result)) return Text(static_cast<char *>(tolvar_arg_pointer(result)));
    return new_text("");
}

ByteSet owned_bytes(const tolvar_arg &result) {
    if (result.type == TOLVAR_TYPE_BYTES && tolvar_arg_pointer(result)) return ByteSet(tolvar_arg_pointer(result));
    return new_bytes(nullptr, 0);
}

}  // namespace tolvar::runtime
