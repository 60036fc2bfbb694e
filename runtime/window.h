// The program's calls on the window and its controls, by control id.
#pragma once

#include <cstdint>

#include "runtime/owned.h"

namespace tolvar::runtime {

// A new heap text holding the control's text (edit content, caption, title).
Text text_of(uint32_t control);
void set_text(uint32_t control, const char *text);
void append_text(uint32_t control, const char *text);
void set_focus(uint32_t control);
void set_disabled(uint32_t control, bool disabled);
void set_address(uint32_t control, const char *address);  // HTML view or hyperlink box
// A new heap text: the address an HTML view shows or a hyperlink box's target.
Text address_of(uint32_t control);
// A new heap byte set: the picture a picture box shows (its file's bytes).
ByteSet picture_of(uint32_t picture_box);
void set_picture(uint32_t picture_box, const void *byte_set);
// A new heap byte set: the picture in `byte_set` as a BMP, through the image
// format converter library; empty when it holds no picture that library reads.
ByteSet picture_as_bmp(const void *byte_set);
int32_t current_page(uint32_t tab_control);
void set_current_page(uint32_t tab_control, int32_t page);
int32_t current_item(uint32_t list_box);  // -1: none
void set_current_item(uint32_t list_box, int32_t index);
void list_add(uint32_t list_box, const char *text, int32_t value);
void list_clear(uint32_t list_box);
int32_t list_count(uint32_t list_box);
// A new heap text: the item's text, empty for -1 or an index outside the list.
Text list_item_text(uint32_t list_box, int32_t index);
int32_t list_item_value(uint32_t list_box, int32_t index);
void set_timer_interval(uint32_t timer, int32_t milliseconds);  // 0 stops it
bool is_disabled(uint32_t control);
void open_hyperlink(uint32_t hyperlink_box);
void popup_menu(uint32_t menu);
void destroy_window();
// A new heap text: the program's folder without a trailing separator.
Text program_directory();
// Hands a web address to the system's browser and returns at once.
void open_in_browser(const char *address);

// The busy cursor over the window while an object of this lives; they nest.
class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

}  // namespace tolvar::runtime
