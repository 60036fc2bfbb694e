// The 13 runtime services the program reaches through its service stubs.
#include "kernel/services.h"

#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "kernel/busy_cursor.h"
#include "kernel/control_services.h"
#include "kernel/control_widgets.h"
#include "kernel/event_pump.h"
#include "kernel/file_commands.h"
#include "kernel/guarded.h"
#include "kernel/internet_library.h"
#include "kernel/kernel_state.h"
#include "kernel/object_services.h"
#include "kernel/pictures.h"
#include "kernel/values.h"

namespace tolvar::kernel {

namespace {

const char *error_description(int32_t code) {
    switch (code) {
        case TOLVAR_ERROR_INDEX_ABOVE: return "array element number above the last element";
        case TOLVAR_ERROR_INDEX_BELOW: return "array element number below 1";
        case TOLVAR_ERROR_WRONG_TYPE: return "a value is not of the required type";
        case TOLVAR_ERROR_DLL_ARGUMENTS: return "a DLL command did not take the arguments it declares";
        case TOLVAR_ERROR_UNEXPECTED: return "an operation failed unexpectedly (out of memory or an internal fault)";
        default: return "unknown run-time error";
    }
}


tolvar_arg library_command(uint32_t library, uint32_t command, int32_t count, const tolvar_arg *args) {
    if (library == TOLVAR_LIB_EAPI && command == TOLVAR_LCMD_OPEN_ADDRESS && count >= 1) {
        open_address(text_arg(args[0]));
        return int_value(1);
    }
    if (library == TOLVAR_LIB_INTERNET) return internet_command(command, count, args);
    if (library == TOLVAR_LIB_IMG_CONVERTER && command == TOLVAR_LCMD_TO_BMP)
        return bytes_value(picture_as_bmp(count >= 1 ? bytes_arg(args[0]) : QByteArray()));
    return no_value();
}

tolvar_arg kernel_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    switch (command) {
        case TOLVAR_KCMD_PROCESS_EVENTS:
            process_pending_events();
            return no_value();
        case TOLVAR_KCMD_BUSY_BEGIN:
            busy_begin();
            return no_value();
        case TOLVAR_KCMD_BUSY_END:
            busy_end();
            return no_value();
        case TOLVAR_KCMD_ROUTINE_ADDRESS: {
            tolvar_routine r = count >= 1 ? state().program->routine_at(value64(args[0])) : nullptr;
            return tolvar_pointer_arg(reinterpret_cast<const void *>(r), TOLVAR_TYPE_ADDRESS);
        }
        default:
            if (is_file_command(command)) return file_command(command, count, args);
            if (is_object_command(command)) return object_command(command, count, args);
            return control_command(state().window.get(), command, count, args);
    }
}

tolvar_arg get_property(uint32_t window, uint32_t object, uint32_t property, int32_t) {
    MainWindow *w = state().window.get();
    if (!w || window != TOLVAR_MAIN_WINDOW) return no_value();
    return control_property(*w, object, property);
}

void set_property(uint32_t window, uint32_t object, uint32_t property, int32_t, tolvar_arg value) {
    MainWindow *w = state().window.get();
    if (w && window == TOLVAR_MAIN_WINDOW) set_control_property(*w, object, property, value);
}

// A block of the image (a constant) is never resized in place: its bytes move
// to a new heap block.
void *resize_block(void *block, uint32_t size) {
    if (!block) return allocate_block(size);
    if (owns_block(block)) return std::realloc(block, size ? size : 1);
    const tolvar_program &image = state().program->block.program;
    auto *from = static_cast<const uint8_t *>(block);
    size_t available = static_cast<size_t>(image.block + image.block_size - from);
    void *moved = allocate_block(size);
    std::memcpy(moved, from, std::min<size_t>(size, available));
    return moved;
}

void end_program() {
    KernelState &s = state();
    if (s.ended) return;
    s.ended = true;
    for (tolvar_routine routine : s.at_end) routine(0, nullptr);
    s.at_end.clear();
    s.window.reset();
}

int32_t event_loop(int32_t) {
    KernelState &s = state();
    if (s.quit_requested || !s.window || !s.window->isVisible()) return 0;
    s.in_event_loop = true;
    int32_t code = QApplication::exec();
    s.in_event_loop = false;
    return code;
}

// Closing the window ends the program whatever handler runs: every event
// loop ends at once (nested ones included, so an exchange waiting in one is
// abandoned), later message boxes are not shown, and the program's event
// loop returns to its clean-up.
void window_closed() {
    KernelState &s = state();
    s.quit_requested = true;
    if (s.in_event_loop) QCoreApplication::exit(0);
}

int32_t load_window(uint32_t window) {
    KernelState &s = state();
    if (window != TOLVAR_MAIN_WINDOW || s.window) return 0;
    s.window = std::make_unique<MainWindow>(s.program->form, [](uint32_t code_offset) {
        run_routine(state().program->block.program.code_data + code_offset);
    });
    s.window->on_closed = window_closed;
    s.window->show_from_form();
    return 1;
}

int32_t special(int32_t code, uint64_t argument, uint64_t) {
    KernelState &s = state();
    switch (code) {
        case TOLVAR_SPECIAL_AT_END:
            if (tolvar_routine r = s.program->routine_at(argument)) {
                s.at_end.push_back(r);
                return 1;
            }
            return 0;
        case TOLVAR_SPECIAL_ARRAY_GROWS: return 1;  // nothing to do: the array is the program's own
        default: return 0;
    }
}

}  // namespace

// A stand-in that passed the check at start but cannot be loaded now ends the program.
void *dll_command(uint32_t index) {
    Program *p = state().program.get();
    if (!p || index >= p->dlls.functions.size()) stop_with_runtime_error(TOLVAR_ERROR_DLL_ARGUMENTS);
    if (void *fn = p->dlls.functions[index]) return fn;
    std::string error;
    void *fn = open_dll_command(p->dlls, index, error);
    if (!fn) {
        report_error(error + ". The program stops.");
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return fn;
}

void stop_with_runtime_error(int32_t code) {
    char text[160];
    std::snprintf(text, sizeof text, "Run-time error %d: %s. The program stops.", code, error_description(code));
    report_error(text);
    std::fflush(nullptr);
    std::_Exit(1);
}

void *allocate_block(uint32_t size) { return std::calloc(1, size ? size : 1); }

bool owns_block(const void *block) {
    const Program *p = state().program.get();
    if (!p) return true;
    auto *b = static_cast<const uint8_t *>(block);
    const uint8_t *base = p->block.program.block;
    return !(b >= base && b < base + p->block.program.block_size);
}

void release_block(void *block) {
    // A constant of the image (the default number, the empty array) is never freed.
    if (block && owns_block(block)) std::free(block);
}

void run_routine(uint64_t address) {
    if (tolvar_routine r = state().program->routine_at(address)) r(0, nullptr);
}

// Every service behind the guard: the program calls them from its own frames,
// and no exception may unwind back into them.
tolvar_services service_table() {
    return {guarded<stop_with_runtime_error>, guarded<dll_command>,   guarded<library_command>,
            guarded<kernel_command>,          guarded<get_property>,  guarded<set_property>,
            guarded<allocate_block>,          guarded<resize_block>,  guarded<release_block>,
            guarded<end_program>,             guarded<event_loop>,    guarded<load_window>,
            guarded<special>};
}

}  // namespace tolvar::kernel
