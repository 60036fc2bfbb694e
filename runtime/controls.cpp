// Compiled with -fexec-charset=GBK: the names are GBK texts.
#include "runtime/controls.h"

namespace tolvar::runtime {

#define TOLVAR_NAME(name) #name,
const char *const kControlNames[kControlCount] = {TOLVAR_CONTROLS(TOLVAR_NAME)};
const char *const kMenuItemNames[kMenuItemCount] = {TOLVAR_MENU_ITEMS(TOLVAR_NAME)};
#undef TOLVAR_NAME

}  // namespace tolvar::runtime
