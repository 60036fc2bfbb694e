// The window's own small handlers' part of the image: their routines, the
// help file's name and the twelve shopping links.
#pragma once

#include "runtime/image_content.h"

namespace tolvar::ui {

extern const runtime::Constant kHelpFile;            // appended to the program directory
extern const runtime::Constant kShoppingLinks[12];   // links 1 to 12 of the menu "精彩推荐"

}  // namespace tolvar::ui
