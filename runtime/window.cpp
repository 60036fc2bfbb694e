#include "runtime/window.h"

#include <initializer_list>

#include "runtime/arguments.h"
#include "runtime/runtime.h"
#include "runtime/services.h"

namespace tolvar::runtime {

namespace {

int32_t property_int(uint32_t control, uint32_t property) {
    return static_cast<int32_t>(services().get_property(TOLVAR_MAIN_WINDOW, control, property, -1).low);
}

void set_property_int(uint32_t control, uint32_t property, int32_t v) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, property, -1, int_arg(v));
}

tolvar_arg command(uint32_t command, std::initializer_list<tolvar_arg> args) { return kernel_command(command, args); }

}  // namespace

Text text_of(uint32_t control) {
    return owned_text(services().get_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_TEXT, -1));
}

void set_text(uint32_t control, const char *text) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_TEXT, -1, text_arg(text));
}

void append_text(uint32_t control, const char *text) {
    command(TOLVAR_KCMD_APPEND_TEXT, {control_ref(control), text_arg(text)});
}

void set_focus(uint32_t control) { command(TOLVAR_KCMD_SET_FOCUS, {control_ref(control)}); }

void set_disabled(uint32_t control, bool disabled) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_DISABLED, -1,
                            {disabled ? 1u : 0u, 0, TOLVAR_TYPE_BOOL});
}

void set_address(uint32_t control, const char *address) {
    services().set_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_ADDRESS, -1, text_arg(address));
}

Text address_of(uint32_t control) {
    return owned_text(services().get_property(TOLVAR_MAIN_WINDOW, control, TOLVAR_PROP_ADDRESS, -1));
}

ByteSet picture_of(uint32_t picture_box) {
    return owned_bytes(services().get_property(TOLVAR_MAIN_WINDOW, picture_box, TOLVAR_PROP_PICTURE, -1));
}

void set_picture(uint32_t picture_box, const void *byte_set) {
    services().set_property(TOLVAR_MAIN_WINDOW, picture_box, TOLVAR_PROP_PICTURE, -1, bytes_arg(byte_set));
}

ByteSet picture_as_bmp(const void *byte_set) {
    tolvar_arg arg = bytes_arg(byte_set);
    return owned_bytes(services().library_command(TOLVAR_LIB_IMG_CONVERTER, TOLVAR_LCMD_TO_BMP, 1, &arg));
}

int32_t current_page(uint32_t tab_control) { return property_int(tab_control, TOLVAR_PROP_PAGE); }
void set_current_page(uint32_t tab_control, int32_t page) { set_property_int(tab_control, TOLVAR_PROP_PAGE, page); }
int32_t current_item(uint32_t list_box) { return property_int(list_box, TOLVAR_PROP_CURRENT_ITEM); }
void set_current_item(uint32_t list_box, int32_t index) {
    set_property_int(list_box, TOLVAR_PROP_CURRENT_ITEM, index);
}
bool is_disabled(uint32_t control) { return property_int(control, TOLVAR_PROP_DISABLED) != 0; }

void list_add(uint32_t list_box, const char *text, int32_t value) {
    command(TOLVAR_KCMD_LIST_ADD, {control_ref(list_box), text_arg(text), int_arg(value)});
}
void list_clear(uint32_t list_box) { command(TOLVAR_KCMD_LIST_CLEAR, {control_ref(list_box)}); }
int32_t list_count(uint32_t list_box) {
    return static_cast<int32_t>(command(TOLVAR_KCMD_LIST_COUNT, {control_ref(list_box)}).low);
}
Text list_item_text(uint32_t list_box, int32_t index) {
    return owned_text(command(TOLVAR_KCMD_LIST_ITEM_TEXT, {control_ref(list_box), int_arg(index)}));
}
int32_t list_item_value(uint32_t list_box, int32_t index) {
    return static_cast<int32_t>(command(TOLVAR_KCMD_LIST_ITEM_VALUE, {control_ref(list_box), int_arg(index)}).low);
}
void set_timer_interval(uint32_t timer, int32_t milliseconds) {
    command(TOLVAR_KCMD_TIMER_INTERVAL, {control_ref(timer), int_arg(milliseconds)});
}

void open_hyperlink(uint32_t hyperlink_box) { command(TOLVAR_KCMD_OPEN_HYPERLINK, {control_ref(hyperlink_box)}); }

void popup_menu(uint32_t menu) { command(TOLVAR_KCMD_POPUP_MENU, {control_ref(menu)}); }

void destroy_window() { command(TOLVAR_KCMD_DESTROY_WINDOW, {control_ref(TOLVAR_WINDOW_OBJECT)}); }

Text program_directory() { return owned_text(command(TOLVAR_KCMD_PROGRAM_DIRECTORY, {})); }

void open_in_browser(const char *address) {
    tolvar_arg arg = text_arg(address);
    services().library_command(TOLVAR_LIB_EAPI, TOLVAR_LCMD_OPEN_ADDRESS, 1, &arg);
}

BusyCursor::BusyCursor() { command(TOLVAR_KCMD_BUSY_BEGIN, {}); }
BusyCursor::~BusyCursor() { command(TOLVAR_KCMD_BUSY_END, {}); }

}  // namespace tolvar::runtime
