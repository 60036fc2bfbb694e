#include "runtime/window.h"

#include "runtime/runtime.h"
#include "runtime/services.h"

namespace tolvar::runtime {

namespace {

tolvar_arg control_ref(uint32_t control) { return {TOLVAR_MAIN_WINDOW, control, 0}; }

tolvar_arg text_arg(const char *text) {
    auto a = reinterpret_cast<uintptr_t>(text);
    return {static_cast<uint32_t>(a), static_cast<uint32_t>(a >> 32), TOLVAR_TYPE_TEXT};
}

char *owned_text(const tolvar_arg &result) {
    if (result.type == TOLVAR_TYPE_TEXT && (result.low || result.high))
        return reinterpret_cast<char *>(uint64_t(result.high) << 32 | result.low);
    return new_text("");
}

}  // namespace

char *text_of(uint32_t control) {
    return owned_text(services().get_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_TEXT, -1));
}

void set_text(uint32_t control, const char *text) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_TEXT, -1, text_arg(text));
}

void append_text(uint32_t control, const char *text) {
    tolvar_arg args[2] = {control_ref(control), text_arg(text)};
    services().kernel_command(TOLVAR_KCMD_APPEND_TEXT, 2, args);
}

void set_focus(uint32_t control) {
    tolvar_arg arg = control_ref(control);
    services().kernel_command(TOLVAR_KCMD_SET_FOCUS, 1, &arg);
}

void set_disabled(uint32_t control, bool disabled) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_DISABLED, -1,
                            {disabled ? 1u : 0u, 0, TOLVAR_TYPE_BOOL});
}

void set_address(uint32_t control, const char *address) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_ADDRESS, -1, text_arg(address));
}

void open_hyperlink(uint32_t hyperlink_box) {
    tolvar_arg arg = control_ref(hyperlink_box);
    services().kernel_command(TOLVAR_KCMD_OPEN_HYPERLINK, 1, &arg);
}

void popup_menu(uint32_t menu) {
    tolvar_arg arg = control_ref(menu);
    services().kernel_command(TOLVAR_KCMD_POPUP_MENU, 1, &arg);
}

void destroy_window() {
    tolvar_arg arg = control_ref(TOLVAR_WINDOW_OBJECT);
    services().kernel_command(TOLVAR_KCMD_DESTROY_WINDOW, 1, &arg);
}

char *program_directory() { return owned_text(services().kernel_command(TOLVAR_KCMD_PROGRAM_DIRECTORY, 0, nullptr)); }

void open_in_browser(const char *address) {
    tolvar_arg arg = text_arg(address);
    services().library_command(TOLVAR_LIB_EAPI, TOLVAR_LCMD_OPEN_ADDRESS, 1, &arg);
}

}  // namespace tolvar::runtime
