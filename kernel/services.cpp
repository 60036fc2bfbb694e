// The 13 runtime services the program reaches through its service stubs.
#include "kernel/services.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

#include "kernel/gbk.h"
#include "kernel/kernel_state.h"

namespace tolvar::kernel {

namespace {

tolvar_arg integer_value(int32_t v) { return {static_cast<uint32_t>(v), v < 0 ? 0xFFFFFFFFu : 0u, TOLVAR_TYPE_INT}; }

uint64_t value64(const tolvar_arg &a) { return uint64_t(a.high) << 32 | a.low; }

const char *error_description(int32_t code) {
    switch (code) {
        case TOLVAR_ERROR_INDEX_ABOVE: return "array element number above the last element";
        case TOLVAR_ERROR_INDEX_BELOW: return "array element number below 1";
        case TOLVAR_ERROR_WRONG_TYPE: return "a value is not of the required type";
        case TOLVAR_ERROR_DLL_ARGUMENTS: return "a DLL command did not take the arguments it declares";
        default: return "unknown run-time error";
    }
}

void runtime_error(int32_t code) {
    char text[160];
    std::snprintf(text, sizeof text, "Run-time error %d: %s. The program stops.", code, error_description(code));
    report_error(text);
    std::fflush(nullptr);
    std::_Exit(1);
}

void *dll_command(uint32_t index) {
    const Program *p = state().program.get();
    if (!p || index >= p->dlls.functions.size()) runtime_error(TOLVAR_ERROR_DLL_ARGUMENTS);
    return p->dlls.functions[index];
}

tolvar_arg library_command(uint32_t, uint32_t, int32_t, const tolvar_arg *) { return {0, 0, TOLVAR_TYPE_NONE}; }

tolvar_arg kernel_command(uint32_t command, int32_t count, const tolvar_arg *args) {
    switch (command) {
        case TOLVAR_KCMD_MESSAGE_BOX: {
            const char *text = count >= 1 && args[0].type == TOLVAR_TYPE_TEXT
                                   ? reinterpret_cast<const char *>(value64(args[0]))
                                   : nullptr;
            QWidget *owner = state().window.get();
            QMessageBox box(QMessageBox::NoIcon, owner ? owner->windowTitle() : QString(),
                            from_gbk(text ? text : ""), QMessageBox::Ok, owner);
            box.exec();
            return integer_value(1);
        }
        default: return {0, 0, TOLVAR_TYPE_NONE};
    }
}

bool is_main_window(uint32_t window, uint32_t object) {
    return window == TOLVAR_MAIN_WINDOW && (object == TOLVAR_WINDOW_OBJECT || object == TOLVAR_MAIN_WINDOW);
}

tolvar_arg get_property(uint32_t window, uint32_t object, uint32_t property, int32_t) {
    QWidget *w = state().window.get();
    if (!w || !is_main_window(window, object)) return {0, 0, TOLVAR_TYPE_NONE};
    switch (property) {
        case TOLVAR_PROP_TEXT: {
            QByteArray gbk = to_gbk(w->windowTitle());
            void *text = allocate_block(static_cast<uint32_t>(gbk.size() + 1));
            std::memcpy(text, gbk.constData(), static_cast<size_t>(gbk.size()) + 1);
            auto address = reinterpret_cast<uintptr_t>(text);
            return {static_cast<uint32_t>(address), static_cast<uint32_t>(address >> 32), TOLVAR_TYPE_TEXT};
        }
        case TOLVAR_PROP_DISABLED: return integer_value(w->isEnabled() ? 0 : 1);
        default: return {0, 0, TOLVAR_TYPE_NONE};
    }
}

void set_property(uint32_t window, uint32_t object, uint32_t property, int32_t, tolvar_arg value) {
    QWidget *w = state().window.get();
    if (!w || !is_main_window(window, object)) return;
    switch (property) {
        case TOLVAR_PROP_TEXT:
            if (value.type != TOLVAR_TYPE_TEXT) runtime_error(TOLVAR_ERROR_WRONG_TYPE);
            {
                auto *text = reinterpret_cast<const char *>(value64(value));
                w->setWindowTitle(from_gbk(text ? text : ""));
            }
            break;
        case TOLVAR_PROP_DISABLED: w->setEnabled(value.low == 0); break;
        default: break;
    }
}

void *resize_block(void *block, uint32_t size) {
    if (!block || !owns_block(block)) return allocate_block(size);
    return std::realloc(block, size ? size : 1);
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
    return QApplication::exec();
}

int32_t load_window(uint32_t window) {
    KernelState &s = state();
    if (window != TOLVAR_MAIN_WINDOW || s.window) return 0;
    s.window = std::make_unique<MainWindow>(s.program->form, [](uint32_t code_offset) {
        run_routine(state().program->block.program.code_data + code_offset);
    });
    s.window->show_from_form();
    return 1;
}

int32_t special(int32_t code, uint64_t argument) {
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

tolvar_services service_table() {
    return {runtime_error, dll_command,  library_command, kernel_command, get_property,
            set_property,  allocate_block, resize_block,  release_block,  end_program,
            event_loop,    load_window,  special};
}

}  // namespace tolvar::kernel
