// The window's focus chain: the order in which the layout lists its controls,
// as a Windows dialog's Tab order follows its controls' order. A tab control
// is its strip and then each page's controls; a group box's controls come
// where the group box stands.
#pragma once

#include <QWidget>
#include <functional>

#include "image/form_format.h"

namespace tolvar::kernel {

// Chains the focus of the form's controls; `widget_of` gives a control's
// widget by id (null for none).
void set_tab_order(const image::Form &form, const std::function<QWidget *(uint32_t)> &widget_of);

}  // namespace tolvar::kernel
