// The program's calls on the window and its controls, by control id.
#pragma once

#include <cstdint>

namespace tolvar::runtime {

// A new heap text holding the control's text (edit content, caption, title);
// the caller releases it.
char *text_of(uint32_t control);
void set_text(uint32_t control, const char *text);
void append_text(uint32_t control, const char *text);
void set_focus(uint32_t control);
void set_disabled(uint32_t control, bool disabled);
void set_address(uint32_t control, const char *address);  // HTML view or hyperlink box
void open_hyperlink(uint32_t hyperlink_box);
void popup_menu(uint32_t menu);
void destroy_window();
// A new heap text: the program's folder without a trailing separator.
char *program_directory();
// Hands a web address to the system's browser and returns at once.
void open_in_browser(const char *address);

}  // namespace tolvar::runtime
