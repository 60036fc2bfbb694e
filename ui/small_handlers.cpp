// The window's own small operations: the dial pad, the hint boxes, the friend
// pop-up menu, the exit command, the help page and the shopping links.
#include "runtime/controls.h"
#include "runtime/routine.h"
#include "runtime/runtime.h"
#include "runtime/text.h"
#include "runtime/window.h"
#include "ui/ui_content.h"

using namespace tolvar::runtime;
using namespace tolvar::ui;

namespace {

// Appends the digit at the end of the number box, whatever the caret, and
// gives the box the focus so typing can go on there.
void dial_digit(const char *digit) {
    append_text(拨打电话, digit);
    set_focus(拨打电话);
}

// Empties the box that received the focus, every time it does. 编辑框3's
// focus also writes the advertising pages: its routine is the start-up's
// (hint_clear_and_ad_pages).
void hint_clear(uint32_t box) { set_text(box, ""); }

// Link n of the menu (counted from 1), handed to the system's browser.
void shopping_link_open(int n) { open_in_browser(const_text(kShoppingLinks[n - 1])); }

}  // namespace

// The dial pad's digits: dial_digit_0 to dial_digit_9.
#define TOLVAR_DIAL_DIGIT(d)                                                  \
    TOLVAR_ROUTINE(int32_t, dial_digit_##d, (int32_t, const tolvar_arg *)) { \
        dial_digit(#d);                                                       \
        return 0;                                                             \
    }                                                                         \
    TOLVAR_ROUTINE_END
TOLVAR_DIAL_DIGIT(0)
TOLVAR_DIAL_DIGIT(1)
TOLVAR_DIAL_DIGIT(2)
TOLVAR_DIAL_DIGIT(3)
TOLVAR_DIAL_DIGIT(4)
TOLVAR_DIAL_DIGIT(5)
TOLVAR_DIAL_DIGIT(6)
TOLVAR_DIAL_DIGIT(7)
TOLVAR_DIAL_DIGIT(8)
TOLVAR_DIAL_DIGIT(9)

// The focus stays where it is.
TOLVAR_ROUTINE(int32_t, dial_clear, (int32_t, const tolvar_arg *)) { set_text(拨打电话, ""); return 0; }
TOLVAR_ROUTINE_END

TOLVAR_ROUTINE(int32_t, hint_clear_edit4, (int32_t, const tolvar_arg *)) { hint_clear(编辑框4); return 0; }
TOLVAR_ROUTINE_END

// Opens whether or not an item is selected; the selection is left alone.
TOLVAR_ROUTINE(int32_t, friend_menu_popup, (int32_t, const tolvar_arg *)) { popup_menu(好友菜单); return 0; }
TOLVAR_ROUTINE_END

// Ends the program at once, as the close box does; nothing is asked or saved.
TOLVAR_ROUTINE(int32_t, exit_command, (int32_t, const tolvar_arg *)) { destroy_window(); return 0; }
TOLVAR_ROUTINE_END

// Opens program directory + "/使用帮助.html" through the hidden hyperlink box.
TOLVAR_ROUTINE(int32_t, help_page_open, (int32_t, const tolvar_arg *)) {
    Text directory = program_directory();
    Text path = join({directory.get(), const_text(kHelpFile)});
    set_address(超级链接框1, path.get());
    open_hyperlink(超级链接框1);
    return 0;
}
TOLVAR_ROUTINE_END

// The shopping links of the menu: shopping_link_1 to shopping_link_12.
#define TOLVAR_SHOPPING_HANDLER(n)                                               \
    TOLVAR_ROUTINE(int32_t, shopping_link_##n, (int32_t, const tolvar_arg *)) { \
        shopping_link_open(n);                                                   \
        return 0;                                                                \
    }                                                                            \
    TOLVAR_ROUTINE_END
TOLVAR_SHOPPING_HANDLER(1)
TOLVAR_SHOPPING_HANDLER(2)
TOLVAR_SHOPPING_HANDLER(3)
TOLVAR_SHOPPING_HANDLER(4)
TOLVAR_SHOPPING_HANDLER(5)
TOLVAR_SHOPPING_HANDLER(6)
TOLVAR_SHOPPING_HANDLER(7)
TOLVAR_SHOPPING_HANDLER(8)
TOLVAR_SHOPPING_HANDLER(9)
TOLVAR_SHOPPING_HANDLER(10)
TOLVAR_SHOPPING_HANDLER(11)
TOLVAR_SHOPPING_HANDLER(12)
