// The window's own small operations: the dial pad, the hint boxes, the friend
// pop-up menu, the exit command, the help page and the shopping links.
#include "runtime/controls.h"
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

#define TOLVAR_HANDLER(name) extern "C" int32_t name(int32_t, const tolvar_arg *)

TOLVAR_HANDLER(dial_digit_0) { dial_digit("0"); return 0; }
TOLVAR_HANDLER(dial_digit_1) { dial_digit("1"); return 0; }
TOLVAR_HANDLER(dial_digit_2) { dial_digit("2"); return 0; }
TOLVAR_HANDLER(dial_digit_3) { dial_digit("3"); return 0; }
TOLVAR_HANDLER(dial_digit_4) { dial_digit("4"); return 0; }
TOLVAR_HANDLER(dial_digit_5) { dial_digit("5"); return 0; }
TOLVAR_HANDLER(dial_digit_6) { dial_digit("6"); return 0; }
TOLVAR_HANDLER(dial_digit_7) { dial_digit("7"); return 0; }
TOLVAR_HANDLER(dial_digit_8) { dial_digit("8"); return 0; }
TOLVAR_HANDLER(dial_digit_9) { dial_digit("9"); return 0; }

// The focus stays where it is.
TOLVAR_HANDLER(dial_clear) { set_text(拨打电话, ""); return 0; }

TOLVAR_HANDLER(hint_clear_edit4) { hint_clear(编辑框4); return 0; }

// Opens whether or not an item is selected; the selection is left alone.
TOLVAR_HANDLER(friend_menu_popup) { popup_menu(好友菜单); return 0; }

// Ends the program at once, as the close box does; nothing is asked or saved.
TOLVAR_HANDLER(exit_command) { destroy_window(); return 0; }

// Opens program directory + "/使用帮助.html" through the hidden hyperlink box.
TOLVAR_HANDLER(help_page_open) {
    char *directory = program_directory();
    char *path = join({directory, const_text(kHelpFile)});
    set_address(超级链接框1, path);
    open_hyperlink(超级链接框1);
    release(path);
    release(directory);
    return 0;
}

#define TOLVAR_SHOPPING_HANDLER(n) \
    TOLVAR_HANDLER(shopping_link_##n) { shopping_link_open(n); return 0; }
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
